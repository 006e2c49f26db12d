// CSV columns of the ibt tool: parsing NAME[:ENTRY][@TYPE], looking each
// variable up once, and printing values read through the reader's getter of
// the column's type. Works with any reader that has the getters of the
// recorded-file reader (getVarIdx, getVarType, getVarCount, isVarReadable,
// getVarInt, ...).
#pragma once

#include <string>
#include <vector>

enum class IbtValueType { Default, Int, Float, Double, Bool };

struct IbtColumn {
    std::string text; // as given on the command line
    std::string name;
    int entry = 0;
    IbtValueType type = IbtValueType::Default;
    int idx = -1; // set by ibtResolveColumns
};

// Parses NAME, NAME:ENTRY, NAME@TYPE or NAME:ENTRY@TYPE, TYPE one of int,
// float, double, bool. On failure `error` says what is wrong.
bool ibtParseColumn(const std::string& text, IbtColumn& column, std::string& error);

// The getter a variable is read with when the column names none: int for
// type codes 0 to 3, float for 4, double for 5 (int, reading 0, for others).
IbtValueType ibtDefaultType(int typeCode);

// Appends one value: ints as integers, floats with 9 significant digits,
// doubles with 17, bools as 0 or 1.
void ibtAppendInt(std::string& out, int v);
void ibtAppendFloat(std::string& out, float v);
void ibtAppendDouble(std::string& out, double v);
void ibtAppendBool(std::string& out, bool v);

// The header row: the columns as given, comma-separated, with a newline.
std::string ibtHeaderRow(const std::vector<IbtColumn>& columns);

// Looks every column's variable up once and fixes its type. False, with the
// reason in `error`, for an unknown variable, an entry beyond its count, or a
// variable whose descriptor places it outside the record (it would read as 0).
template <typename Reader>
bool ibtResolveColumns(const Reader& reader, std::vector<IbtColumn>& columns, std::string& error)
{
    for (IbtColumn& c : columns) {
        c.idx = reader.getVarIdx(c.name.c_str());
        if (c.idx < 0) {
            error = "unknown variable " + c.name;
            return false;
        }
        const int count = reader.getVarCount(c.idx);
        if (c.entry >= count) {
            error = "entry " + std::to_string(c.entry) + " is out of range for " + c.name + " ("
                + std::to_string(count) + (count == 1 ? " entry)" : " entries)");
            return false;
        }
        if (!reader.isVarReadable(c.idx)) {
            error = "variable " + c.name + " does not lie inside the record (its descriptor is corrupt)";
            return false;
        }
        if (c.type == IbtValueType::Default)
            c.type = ibtDefaultType(reader.getVarType(c.idx));
    }
    return true;
}

// Appends the current record's values of resolved columns as one CSV row.
template <typename Reader>
void ibtAppendRow(std::string& out, const Reader& reader, const std::vector<IbtColumn>& columns)
{
    for (size_t i = 0; i < columns.size(); ++i) {
        const IbtColumn& c = columns[i];
        if (i > 0)
            out += ',';
        switch (c.type) {
        case IbtValueType::Float: ibtAppendFloat(out, reader.getVarFloat(c.idx, c.entry)); break;
        case IbtValueType::Double: ibtAppendDouble(out, reader.getVarDouble(c.idx, c.entry)); break;
        case IbtValueType::Bool: ibtAppendBool(out, reader.getVarBool(c.idx, c.entry)); break;
        default: ibtAppendInt(out, reader.getVarInt(c.idx, c.entry)); break;
        }
    }
    out += '\n';
}
