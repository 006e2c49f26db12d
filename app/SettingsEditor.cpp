#include "SettingsEditor.h"

#include "Settings.h"
#include "TomlText.h"

namespace {

using tomltext::Statement;

// A key as TOML writes it: bare when it can be, else in quotes.
std::string keyText(const std::string& key)
{
    bool bare = !key.empty();
    for (char c : key)
        bare = bare && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '-');
    if (bare)
        return key;
    std::string quoted = "\"";
    for (char c : key) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// Puts a line in at `at`, the start of a line or the end of the text.
void insertLine(std::string& text, size_t at, const std::string& line, const std::string& newline)
{
    std::string added = line + newline;
    if (at > 0 && text[at - 1] != '\n')
        added = newline + added;
    text.insert(at, added);
}

// One value set where it stands, or added where its table is, in the form
// the table has in the text. False, with *why set, when the table is not one
// place in the text.
bool editInPlace(std::string& text, const settings::Edit& edit, std::string* why)
{
    const tomltext::Document doc = tomltext::scan(text);
    const std::string newline = doc.crlf ? "\r\n" : "\n";
    const std::string line = keyText(edit.key) + " = " + edit.value;
    std::vector<std::string> path;
    if (!edit.table.empty())
        path.push_back(edit.table);
    path.push_back(edit.key);
    for (const tomltext::Pair& pair : doc.pairs) {
        if (pair.path != path)
            continue;
        if (pair.inArray) {
            *why = edit.table + " is a list of [[" + edit.table + "]] tables, not one table";
            return false;
        }
        text.replace(pair.value.begin, pair.value.end - pair.value.begin, edit.value);
        return true;
    }

    // The top level: after its last statement, or before the first table.
    if (edit.table.empty()) {
        size_t at = std::string::npos;
        for (const Statement& statement : doc.statements) {
            if (statement.kind != Statement::Kind::Pair) {
                if (at == std::string::npos)
                    at = statement.whole.begin;
                break;
            }
            at = statement.whole.end;
        }
        insertLine(text, at == std::string::npos ? text.size() : at, line, newline);
        return true;
    }

    const std::vector<std::string> table{edit.table};
    // A table written as a value: in braces, or no table at all.
    for (const tomltext::Pair& pair : doc.pairs) {
        if (pair.path != table)
            continue;
        if (pair.inArray || text[pair.value.begin] != '{') {
            *why = edit.table + " is not a table";
            return false;
        }
        size_t at = pair.value.end - 1; // the closing brace
        while (text[at - 1] == ' ' || text[at - 1] == '\t')
            --at;
        const bool empty = text[at - 1] == '{';
        text.insert(at, (empty ? " " : ", ") + line + (empty && at == pair.value.end - 1 ? " " : ""));
        return true;
    }
    // A [table] header: on the line after it.
    for (const Statement& statement : doc.statements) {
        if (statement.kind == Statement::Kind::Pair || statement.header != table)
            continue;
        if (statement.kind == Statement::Kind::ArrayOfTables) {
            *why = edit.table + " is a list of [[" + edit.table + "]] tables, not one table";
            return false;
        }
        insertLine(text, statement.whole.end, line, newline);
        return true;
    }
    // A table made by dotted keys at the top level: one more after the last.
    size_t afterDotted = std::string::npos;
    for (const tomltext::Pair& pair : doc.pairs)
        if (!pair.inBraces && pair.keyParts == pair.path.size() && pair.path.size() >= 2 && pair.path[0] == edit.table)
            afterDotted = doc.statements[pair.statement].whole.end;
    if (afterDotted != std::string::npos) {
        insertLine(text, afterDotted, keyText(edit.table) + "." + line, newline);
        return true;
    }
    // No such table, or one only implied by [table.sub] headers: a header of
    // its own at the end.
    std::string added;
    if (!text.empty() && text.back() != '\n')
        added += newline;
    if (!text.empty())
        added += newline;
    text += added + "[" + keyText(edit.table) + "]" + newline + line + newline;
    return true;
}

// The values of a text that is TOML throughout, or false.
bool valuesOf(const std::string& text, toml::table* values)
{
    const tomltext::Document doc = tomltext::scan(text);
    if (!doc.problems.empty())
        return false;
    toml::parse_result parsed = tomltext::parse(text, doc);
    if (!parsed)
        return false;
    *values = std::move(parsed).table();
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

bool applyEdits(std::string* text, const std::vector<Edit>& edits, std::string* why)
{
    toml::table expected;
    if (!valuesOf(*text, &expected)) {
        *why = "it has lines that are not TOML";
        return false;
    }
    std::string edited = *text;
    for (const Edit& edit : edits) {
        toml::table value;
        if (!valuesOf("v = " + edit.value, &value))
            continue;
        toml::table* table = &expected;
        if (!edit.table.empty()) {
            if (!expected[edit.table].is_table())
                expected.insert_or_assign(edit.table, toml::table{});
            table = expected[edit.table].as_table();
        }
        table->insert_or_assign(edit.key, *value.get("v"));
        if (!editInPlace(edited, edit, why))
            return false;
    }
    // The edited text must read back as exactly the values intended.
    toml::table result;
    if (!valuesOf(edited, &result) || result != expected) {
        *why = "the edit would not read back as written";
        return false;
    }
    *text = std::move(edited);
    return true;
}

} // namespace settings
