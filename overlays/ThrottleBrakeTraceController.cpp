#include "ThrottleBrakeTraceController.h"

#include <utility>

ThrottleBrakeTraceController::ThrottleBrakeTraceController(std::shared_ptr<IRData> source,
                                                           unsigned int historySeconds, Qvis::WindowStyle style,
                                                           std::shared_ptr<ReferenceLap> lap)
    : irData(std::move(source)), reference(lap ? std::move(lap) : std::make_shared<ReferenceLap>())
{
    model = std::make_shared<ThrottleBrakeTraceModel>(historySamples(historySeconds, irData->getTimeout()));
    view = std::make_shared<ThrottleBrakeTraceView>(model->CommonModel<float>::getVarHistoryPts(), historySeconds,
                                                    std::move(style));
}

ThrottleBrakeTraceController::~ThrottleBrakeTraceController()
{
    view.reset();
    model.reset();
    irData.reset();
}

void ThrottleBrakeTraceController::drawWindow()
{
    view->setMessage(sampled ? nullptr : irData->whyNoTelemetry());
    view->drawView(model->CommonModel<float>::getCurrStartIndex());
}

GLFWwindow* ThrottleBrakeTraceController::getWindow()
{
    return view->getWindow();
}

void ThrottleBrakeTraceController::showWindow()
{
    view->showWindow();
}

void ThrottleBrakeTraceController::hideWindow()
{
    view->hideWindow();
}

void ThrottleBrakeTraceController::getWindowPosition(int* x, int* y)
{
    view->getPosition(x, y);
}

void ThrottleBrakeTraceController::setLocked(bool locked)
{
    view->setLocked(locked);
}

void ThrottleBrakeTraceController::startAfresh()
{
    model->reset();
    sampled = false;
    reference->startAfresh(*irData);
}

void ThrottleBrakeTraceController::setStale(const char* text)
{
    view->setNotice(text);
}

// One pass: time and pedals, then the reference lap's pedals at the car's lap
// position, as the shared reference worked them out for this sample.
void ThrottleBrakeTraceController::updateData()
{
    CommonModel<float>& m = *model;
    sampled = true;
    reference->update(*irData);
    const ReferenceLap::Sample& s = reference->sample();
    m.setVar(SESSION_TIME, static_cast<float>(s.time));
    m.setVar(THROTTLE, s.throttle);
    m.setVar(BRAKE, s.brake);
    m.setVar(ZONE_T, reference->lineThrottle());
    m.setVar(ZONE_B, reference->lineBrake());
    m.incrementIndex();
}
