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

// The text with the edits made: a value that is there is replaced where it
// stands, a missing one is added to its table. Comments and everything else
// stay. Should the text be too unusual to edit in place, it is written anew
// from its values (every value kept, comments lost). The text must be one
// that read() takes without a problem of syntax.
std::string applyEdits(const std::string& text, const std::vector<Edit>& edits);

} // namespace settings
