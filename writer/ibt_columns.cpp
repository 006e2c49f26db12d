#include "ibt_columns.h"

#include <climits>
#include <cstdio>

#include "ibt_args.h"
#include "telemetry_layout.h"

bool ibtParseColumn(const std::string& text, IbtColumn& column, std::string& error)
{
    column = IbtColumn();
    column.text = text;
    std::string spec = text;

    const size_t at = spec.find('@');
    if (at != std::string::npos) {
        const std::string type = spec.substr(at + 1);
        if (type == "int")
            column.type = IbtValueType::Int;
        else if (type == "float")
            column.type = IbtValueType::Float;
        else if (type == "double")
            column.type = IbtValueType::Double;
        else if (type == "bool")
            column.type = IbtValueType::Bool;
        else {
            error = "bad column " + text + ": type must be int, float, double or bool";
            return false;
        }
        spec.erase(at);
    }

    const size_t colon = spec.find(':');
    if (colon != std::string::npos) {
        const std::string entry = spec.substr(colon + 1);
        long long value = 0;
        if (!ibtParseWhole(entry.c_str(), 0, INT_MAX, value)) {
            error = "bad column " + text + ": entry must be a whole number from 0";
            return false;
        }
        column.entry = static_cast<int>(value);
        spec.erase(colon);
    }

    if (spec.empty()) {
        error = "bad column " + text + ": no variable name";
        return false;
    }
    column.name = spec;
    return true;
}

IbtValueType ibtDefaultType(int typeCode)
{
    if (typeCode == irsdk_float)
        return IbtValueType::Float;
    if (typeCode == irsdk_double)
        return IbtValueType::Double;
    return IbtValueType::Int;
}

void ibtAppendInt(std::string& out, int v)
{
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, "%d", v);
    out.append(buf, static_cast<size_t>(n));
}

void ibtAppendFloat(std::string& out, float v)
{
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    out.append(buf, static_cast<size_t>(n));
}

void ibtAppendDouble(std::string& out, double v)
{
    char buf[40];
    const int n = std::snprintf(buf, sizeof buf, "%.17g", v);
    out.append(buf, static_cast<size_t>(n));
}

void ibtAppendBool(std::string& out, bool v)
{
    out += v ? '1' : '0';
}

std::string ibtHeaderRow(const std::vector<IbtColumn>& columns)
{
    std::string row;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            row += ',';
        row += columns[i].text;
    }
    row += '\n';
    return row;
}
