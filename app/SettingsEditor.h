// Values that programs write back into the user's settings file, edited in
// its text where they stand, so that comments, order and keys this version
// does not know stay as the person wrote them.
#pragma once

#include <string>
#include <vector>

enum class OverlayKind;

namespace settings {

// One value a program writes back: `key` in `table` (empty for the top
// level) becomes `value`, written as TOML ("true", "[10, 20]").
struct Edit {
    std::string table;
    std::string key;
    std::string value;
};
Edit positionEdit(OverlayKind kind, int x, int y);
Edit boolEdit(const std::string& table, const std::string& key, bool value);

// Makes the edits in the text: a value that is there is replaced where it
// stands, a missing one is added to its table in the form the table has
// there (a [table], dotted keys, braces). Comments and everything else
// stay. The text is never written anew: false, with *why set and the text
// as it was, when an edit has no one place (its table is a list of
// [[tables]] or not a table) or the text is not TOML throughout.
bool applyEdits(std::string* text, const std::vector<Edit>& edits, std::string* why);

} // namespace settings
