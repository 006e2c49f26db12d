#include "TrackMapModel.h"

// The position histories start with the origin, so the map starts there and
// every position lines up with the session time of the same pass.
TrackMapModel::TrackMapModel(unsigned int historyLength)
    : CommonModel<float>(historyLength)
{
    addVar(VELOCITY_X);
    addVar(VELOCITY_Y);
    addVar(VELOCITY_Z);
    addVar(YAW_NORTH);
    addVar(POSITION_X);
    addVar(POSITION_Y);
    addVar(POSITION_Z);
    setVar(POSITION_X, 0.0f);
    setVar(POSITION_Y, 0.0f);
    setVar(POSITION_Z, 0.0f);
}

void TrackMapModel::reset()
{
    CommonModel<float>::reset();
    prevSessionTime = 0.0f;
    prevYaw = 0.0f;
    prevVelocity = glm::vec3(0.0f);
    prevPosition = glm::vec3(0.0f);
    setVar(POSITION_X, 0.0f);
    setVar(POSITION_Y, 0.0f);
    setVar(POSITION_Z, 0.0f);
}

void TrackMapModel::setSessionTime(float t)
{
    setVar(SESSION_TIME, t);
    prevSessionTime = t;
}

void TrackMapModel::setVelocity(glm::vec3 v)
{
    setVar(VELOCITY_X, v.x);
    setVar(VELOCITY_Y, v.y);
    setVar(VELOCITY_Z, v.z);
    prevVelocity = v;
}

void TrackMapModel::setYaw(float heading)
{
    setVar(YAW_NORTH, heading);
    prevYaw = heading;
}

void TrackMapModel::setPosition(glm::dvec3 p)
{
    const glm::vec3 q(p);
    setVar(POSITION_X, q.x);
    setVar(POSITION_Y, q.y);
    setVar(POSITION_Z, q.z);
    prevPosition = q;
}
