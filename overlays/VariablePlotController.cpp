#include "VariablePlotController.h"

#include <cstdio>
#include <utility>

VariablePlotController::VariablePlotController(std::shared_ptr<IRData> source, unsigned int historySeconds,
                                               std::vector<VarSetup> list, Qvis::WindowStyle style)
    : varList(list)
    , irData(std::move(source))
{
    model = std::make_shared<VariablePlotModel>(historySamples(historySeconds, irData->getTimeout()), list);
    view = std::make_shared<VariablePlotView>(model->CommonModel<float>::getVarHistoryPts(),
                                              model->CommonModel<double>::getVarHistoryPts(),
                                              model->CommonModel<int>::getVarHistoryPts(), historySeconds,
                                              std::move(style));
    for (const VarSetup& v : varList)
        view->nameLine(v, v.varName);
}

// Each name the telemetry lacks has its legend entry say it is missing, and
// one line on standard error the first time in the run; its line stays at 0.
// A name the session has again gets its plain entry back.
void VariablePlotController::markMissingVariables()
{
    reportedMissing.resize(varList.size());
    for (size_t i = 0; i < varList.size(); ++i) {
        const VarSetup& v = varList[i];
        const bool missing = !irData->hasVar(v.varName.c_str());
        view->nameLine(v, missing ? v.varName + " (missing)" : v.varName);
        if (!missing || reportedMissing[i])
            continue;
        for (size_t j = i; j < varList.size(); ++j)
            if (varList[j].varName == v.varName)
                reportedMissing[j] = 1;
        std::fprintf(stderr, "variable plot: the telemetry has no variable %s; its line stays at 0\n",
                     v.varName.c_str());
    }
}

VariablePlotController::~VariablePlotController()
{
    view.reset();
    model.reset();
    irData.reset();
}

// One pass: the time axis, then every variable in list order, then all three
// families advance together. The first pass also finds the names the
// telemetry lacks.
void VariablePlotController::updateData()
{
    if (!sampled)
        markMissingVariables();
    sampled = true;
    CommonModel<float>& floats = *model;
    CommonModel<double>& doubles = *model;
    CommonModel<int>& ints = *model;

    floats.setVar(SESSION_TIME, irData->getVarFloat(sessionTimeStr, 0));
    for (const VarSetup& v : varList) {
        switch (v.valueType) {
        case VarSetup::VALUE_FLOAT:
            floats.setVar(v.slot, irData->getVarFloat(v.varName.c_str(), 0));
            break;
        case VarSetup::VALUE_DOUBLE:
            doubles.setVar(v.slot, irData->getVarDouble(v.varName.c_str(), 0));
            break;
        case VarSetup::VALUE_INT:
            ints.setVar(v.slot, irData->getVarInt(v.varName.c_str(), 0));
            break;
        default:
            break;
        }
    }
    ints.incrementIndex();
    floats.incrementIndex();
    doubles.incrementIndex();
}

void VariablePlotController::drawWindow()
{
    view->setMessage(sampled ? nullptr : irData->whyNoTelemetry());
    view->drawView(model->CommonModel<float>::getCurrStartIndex());
}

GLFWwindow* VariablePlotController::getWindow()
{
    return view->getWindow();
}

void VariablePlotController::showWindow()
{
    view->showWindow();
}

void VariablePlotController::hideWindow()
{
    view->hideWindow();
}

void VariablePlotController::getWindowPosition(int* x, int* y)
{
    view->getPosition(x, y);
}

void VariablePlotController::setLocked(bool locked)
{
    view->setLocked(locked);
}

// The next session's first sample finds the missing names again: another
// simulator or car may carry other variables.
void VariablePlotController::startAfresh()
{
    model->reset();
    sampled = false;
}

void VariablePlotController::setStale(const char* text)
{
    view->setNotice(text);
}
