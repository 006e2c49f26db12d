#include "TrackMapController.h"

#include <utility>

TrackMapController::TrackMapController(std::shared_ptr<IRData> source, unsigned int historySeconds,
                                       Qvis::WindowStyle style)
    : irData(std::move(source))
{
    model = std::make_shared<TrackMapModel>(historySamples(historySeconds, irData->getTimeout()));
    view = std::make_shared<TrackMapView>(model->getVarHistoryPts(), historySeconds, std::move(style));
}

TrackMapController::~TrackMapController()
{
    view.reset();
    model.reset();
    irData.reset();
}

glm::vec3 TrackMapController::calculatePosition(glm::vec3 vPrev, glm::vec3 vCur, float dt, float yaw, glm::vec3 pPrev)
{
    const glm::vec3 step = (0.5f * dt) * (vPrev + vCur);
    const float c = std::cos(yaw);
    const float s = std::sin(yaw);
    return pPrev + glm::vec3(step.x * c + step.y * s, -step.x * s + step.y * c, step.z);
}

// One pass: store time, velocity and heading, then step the position with the
// velocities of this and the last pass and the heading of the last pass. The
// first pass has nothing to step from and leaves the map at the origin.
void TrackMapController::updateData()
{
    sampled = true;
    const float yaw = model->getPrevYaw();
    const glm::vec3 vPrev = model->getPrevVelocity();
    const glm::vec3 pPrev = model->getPrevPosition();
    const float tPrev = model->getPrevSessionTime();

    const float t = irData->getVarFloat(sessionTimeStr, 0);
    const float dt = t - tPrev;
    model->setSessionTime(t);
    const glm::vec3 v(irData->getVarFloat(velocityXStr, 0), irData->getVarFloat(velocityYStr, 0),
                      irData->getVarFloat(velocityZStr, 0));
    model->setVelocity(v);
    model->setYaw(irData->getVarFloat(yawNorthStr, 0));

    if (model->getPtVar(SESSION_TIME)->size() > 1)
        model->setPosition(glm::dvec3(calculatePosition(vPrev, v, dt, yaw, pPrev)));
    model->incrementIndex();
}

void TrackMapController::drawWindow()
{
    view->setMessage(sampled ? nullptr : irData->whyNoTelemetry());
    view->drawView(model->getCurrStartIndex());
}

GLFWwindow* TrackMapController::getWindow()
{
    return view->getWindow();
}

void TrackMapController::showWindow()
{
    view->showWindow();
}

void TrackMapController::hideWindow()
{
    view->hideWindow();
}

void TrackMapController::getWindowPosition(int* x, int* y)
{
    view->getPosition(x, y);
}

void TrackMapController::setLocked(bool locked)
{
    view->setLocked(locked);
}

void TrackMapController::startAfresh()
{
    model->reset();
    sampled = false;
}

void TrackMapController::setStale(const char* text)
{
    view->setNotice(text);
}
