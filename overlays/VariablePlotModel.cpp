#include "VariablePlotModel.h"

#include <utility>

VariablePlotModel::VariablePlotModel(unsigned int historyLength, std::vector<VarSetup> list)
    : CommonModel<float>(historyLength)
    , CommonModel<double>(historyLength)
    , CommonModel<int>(historyLength)
    , varList(std::move(list))
{
    setupVarList();
}

// Adds each variable's slot to the family of its type; a slot used twice in
// one family is one history.
void VariablePlotModel::setupVarList()
{
    for (const VarSetup& v : varList) {
        switch (v.valueType) {
        case VarSetup::VALUE_INT:
            CommonModel<int>::addVar(v.slot);
            break;
        case VarSetup::VALUE_FLOAT:
            CommonModel<float>::addVar(v.slot);
            break;
        case VarSetup::VALUE_DOUBLE:
            CommonModel<double>::addVar(v.slot);
            break;
        default:
            break;
        }
    }
}

void VariablePlotModel::reset()
{
    CommonModel<float>::reset();
    CommonModel<double>::reset();
    CommonModel<int>::reset();
}

namespace {

bool parseType(const std::string& text, int* type)
{
    if (text == "int")
        *type = VarSetup::VALUE_INT;
    else if (text == "float")
        *type = VarSetup::VALUE_FLOAT;
    else if (text == "double")
        *type = VarSetup::VALUE_DOUBLE;
    else
        return false;
    return true;
}

} // namespace

bool parseVarSetups(const std::vector<std::string>& words, std::vector<VarSetup>* list, std::string* error)
{
    list->clear();
    if (words.empty())
        return parseVarSetups({"Throttle", "Brake", "Gear@int"}, list, error);
    const int lastSlot = IDataStrings::ZONE_B;
    if (words.size() > static_cast<size_t>(lastSlot)) {
        *error = std::to_string(words.size()) + " variables given, but only " + std::to_string(lastSlot) +
                 " history slots exist";
        list->clear();
        return false;
    }
    int slot = IDataStrings::SESSION_TIME;
    for (const std::string& word : words) {
        VarSetup v;
        const size_t at = word.rfind('@');
        v.varName = word.substr(0, at);
        if (at != std::string::npos && !parseType(word.substr(at + 1), &v.valueType)) {
            *error = "unknown type '" + word.substr(at + 1) + "' in '" + word + "' (int, float or double)";
            list->clear();
            return false;
        }
        if (v.varName.empty()) {
            *error = "no variable name in '" + word + "'";
            list->clear();
            return false;
        }
        v.slot = static_cast<IDataStrings::VariableEnum>(++slot);
        list->push_back(v);
    }
    return true;
}
