#include "DeltaController.h"

#include <utility>

DeltaController::DeltaController(std::shared_ptr<IRData> source, Qvis::WindowStyle style,
                                 std::shared_ptr<ReferenceLap> lap)
    : irData(std::move(source)), reference(lap ? std::move(lap) : std::make_shared<ReferenceLap>())
{
    model = std::make_shared<DeltaModel>();
    view = std::make_shared<DeltaView>(*model, std::move(style));
}

DeltaController::~DeltaController()
{
    view.reset();
    model.reset();
    irData.reset();
}

// One pass: the reference takes the sample (once, whoever asks first), then
// the delta is the time since the car crossed the line minus the reference's
// time at the car's fraction of the lap, found from where the last pass left
// the cursor.
void DeltaController::updateData()
{
    sampled = true;
    reference->update(*irData);
    const std::vector<LapPoint>* table = reference->timedReference();
    if (!table) {
        model->setNoReference();
        return;
    }
    const float lineTime = reference->referenceLineTime();
    const LapClock& clock = reference->clock();
    if (!clock.running()) {
        model->setOutLap(lineTime);
        return;
    }
    if (cursorReference != reference->referenceChanges()) {
        cursorReference = reference->referenceChanges();
        cursor.reset();
    }
    const ReferenceLap::Sample& s = reference->sample();
    const float intoLap = static_cast<float>(s.time - clock.lapStart());
    const float delta = intoLap - cursor.timeAt(*table, lineTime, s.pct);
    model->setTiming(delta, lineTime + delta);
}

void DeltaController::drawWindow()
{
    const char* why = sampled ? nullptr : irData->whyNoTelemetry();
    if (!why && model->state() == DeltaModel::State::NoReference)
        why = "No reference lap yet";
    view->setMessage(why);
    view->drawView();
}

GLFWwindow* DeltaController::getWindow()
{
    return view->getWindow();
}

void DeltaController::showWindow()
{
    view->showWindow();
}

void DeltaController::hideWindow()
{
    view->hideWindow();
}

void DeltaController::getWindowPosition(int* x, int* y)
{
    view->getPosition(x, y);
}

void DeltaController::setLocked(bool locked)
{
    view->setLocked(locked);
}

void DeltaController::startAfresh()
{
    sampled = false;
    model->setNoReference();
    cursor.reset();
    reference->startAfresh(*irData);
}

void DeltaController::setStale(const char* text)
{
    view->setNotice(text);
}
