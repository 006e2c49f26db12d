// Histories of the track map: session time, velocity, heading and the
// dead-reckoned position, with the values of the last pass kept for the next.
#pragma once

#include <glm/vec3.hpp>

#include "CommonModel.h"

class TrackMapModel : public CommonModel<float> {
public:
    explicit TrackMapModel(unsigned int historyLength);

    // Every history and the last pass's values start afresh: the next path
    // begins at the origin again.
    void reset();

    void setSessionTime(float t);
    void setVelocity(glm::vec3 v);
    void setYaw(float heading);
    void setPosition(glm::dvec3 p);

    float getPrevSessionTime() const { return prevSessionTime; }
    float getPrevYaw() const { return prevYaw; }
    glm::vec3 getPrevVelocity() const { return prevVelocity; }
    glm::vec3 getPrevPosition() const { return prevPosition; }

private:
    float prevSessionTime = 0.0f;
    float prevYaw = 0.0f;
    glm::vec3 prevVelocity{0.0f, 0.0f, 0.0f};
    glm::vec3 prevPosition{0.0f, 0.0f, 0.0f};
};
