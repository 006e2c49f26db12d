// Placement of a child rectangle (fractions of its parent) inside the parent's
// -1..1 coordinates.
#pragma once

#include <glm/mat4x4.hpp>

namespace Qvis {
namespace Transforms {

// Maps the child's -1..1 square onto (x, y, width, height) of the parent.
glm::mat4 viewportTransform(float x, float y, float width, float height);

} // namespace Transforms
} // namespace Qvis
