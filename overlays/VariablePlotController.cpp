#include "VariablePlotController.h"

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
}

VariablePlotController::~VariablePlotController()
{
    view.reset();
    model.reset();
    irData.reset();
}

// One pass: the time axis, then every variable in list order, then all three
// families advance together.
void VariablePlotController::updateData()
{
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
