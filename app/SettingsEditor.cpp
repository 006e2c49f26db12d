#include "SettingsEditor.h"

#include <algorithm>
#include <sstream>

#include <toml++/toml.h>

#include "Settings.h"

namespace {

std::string trimmed(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Byte offset of the start of line `line` (from 1); npos past the end.
size_t lineStart(const std::string& text, int64_t line)
{
    size_t pos = 0;
    for (int64_t l = 1; l < line; ++l) {
        pos = text.find('\n', pos);
        if (pos == std::string::npos)
            return pos;
        ++pos;
    }
    return pos;
}

// Byte offset of a parser position: its line, then its column counted in
// UTF-8 code points from 1.
size_t offsetOf(const std::string& text, const toml::source_position& at)
{
    size_t pos = lineStart(text, at.line);
    for (int64_t column = 1; pos != std::string::npos && column < at.column; ++column) {
        if (pos >= text.size() || text[pos] == '\n')
            return std::string::npos;
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return pos;
}

// The text with one value set where it stands or added to its table;
// false when the text is too unusual for that (the caller writes it anew).
bool editInPlace(std::string& text, const settings::Edit& edit)
{
    toml::parse_result parsed = toml::parse(text);
    if (!parsed)
        return false;
    const toml::table& root = parsed.table();
    const toml::node* tableNode = edit.table.empty() ? &root : root.get(edit.table);
    if (!tableNode) {
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        text += "\n[" + edit.table + "]\n" + edit.key + " = " + edit.value + "\n";
        return true;
    }
    const toml::table* table = tableNode->as_table();
    if (!table || table->is_inline())
        return false;
    if (const toml::node* value = table->get(edit.key)) {
        const size_t begin = offsetOf(text, value->source().begin);
        const size_t end = offsetOf(text, value->source().end);
        if (begin == std::string::npos || end == std::string::npos || end < begin)
            return false;
        text.replace(begin, end - begin, edit.value);
        return true;
    }
    // A new key goes on the line after its table's header, or for the top
    // level after the last of its values (before the first table when it
    // has none).
    int64_t after = 0;
    if (!edit.table.empty()) {
        after = table->source().begin.line;
        const size_t header = lineStart(text, after);
        if (after < 1 || header == std::string::npos || trimmed(text.substr(header, 1 + edit.table.size())) !=
                                                           "[" + edit.table)
            return false;
    } else {
        int64_t firstTable = 0;
        for (const auto& [name, node] : root) {
            const toml::table* t = node.as_table();
            const toml::array* a = node.as_array();
            const bool isTable = (t && !t->is_inline()) || (a && a->is_array_of_tables());
            const int64_t line = isTable && a && !a->empty() ? (*a)[0].source().begin.line : node.source().begin.line;
            if (isTable && (firstTable == 0 || line < firstTable))
                firstTable = line;
            else if (!isTable)
                after = std::max<int64_t>(after, node.source().end.line);
        }
        if (after == 0 && firstTable > 0)
            after = firstTable - 1;
        if (after == 0 && firstTable == 0) {
            if (!text.empty() && text.back() != '\n')
                text += '\n';
            text += edit.key + " = " + edit.value + "\n";
            return true;
        }
    }
    size_t insertAt = lineStart(text, after + 1);
    if (insertAt == std::string::npos) {
        text += '\n';
        insertAt = text.size();
    }
    text.insert(insertAt, edit.key + " = " + edit.value + "\n");
    return true;
}

} // namespace

namespace settings {

Edit positionEdit(OverlayKind kind, int x, int y)
{
    return {tableName(kind), "position", "[" + std::to_string(x) + ", " + std::to_string(y) + "]"};
}

Edit boolEdit(const std::string& table, const std::string& key, bool value)
{
    return {table, key, value ? "true" : "false"};
}

std::string applyEdits(const std::string& text, const std::vector<Edit>& edits)
{
    toml::parse_result parsed = toml::parse(text);
    if (!parsed)
        return text;
    toml::table expected = std::move(parsed).table();
    std::string edited = text;
    bool inPlace = true;
    for (const Edit& edit : edits) {
        toml::parse_result value = toml::parse("v = " + edit.value);
        if (!value)
            continue;
        toml::table* table = &expected;
        if (!edit.table.empty()) {
            if (!expected[edit.table].is_table())
                expected.insert_or_assign(edit.table, toml::table{});
            table = expected[edit.table].as_table();
        }
        table->insert_or_assign(edit.key, *value.table().get("v"));
        inPlace = inPlace && editInPlace(edited, edit);
    }
    // The edited text must read back as exactly the values intended.
    if (inPlace) {
        toml::parse_result check = toml::parse(edited);
        if (check && check.table() == expected)
            return edited;
    }
    std::ostringstream rewritten;
    rewritten << toml::toml_formatter(expected) << "\n";
    return rewritten.str();
}

} // namespace settings
