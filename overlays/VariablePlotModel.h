// Histories of the variable plot: one family per value type (int, float,
// double), each keyed by the slots the configured variables use. The float
// family's session time is the time axis of every line.
#pragma once

#include <string>
#include <vector>

#include "CommonModel.h"

// One plotted variable: how it is read and kept, its simulator name and its
// history slot. A value type other than the three below makes it inert.
struct VarSetup {
    static constexpr int VALUE_INT = 0;
    static constexpr int VALUE_FLOAT = 1;
    static constexpr int VALUE_DOUBLE = 2;

    int valueType = VALUE_FLOAT;
    std::string varName;
    IDataStrings::VariableEnum slot = IDataStrings::SESSION_TIME;
};

// Builds a variable list from words NAME[@TYPE], TYPE one of int, float and
// double (float when left out). Each variable gets the next history slot not
// yet used, from THROTTLE up; no words give Throttle, Brake and Gear as int.
// False with a one-line reason for an empty name, an unknown type or more
// variables than slots.
bool parseVarSetups(const std::vector<std::string>& words, std::vector<VarSetup>* list, std::string* error);

class VariablePlotModel : public CommonModel<float>, public CommonModel<double>, public CommonModel<int> {
public:
    VariablePlotModel(unsigned int historyLength, std::vector<VarSetup> list);

    void setupVarList();
    // Every history of the three families starts afresh.
    void reset();

private:
    std::vector<VarSetup> varList;
};
