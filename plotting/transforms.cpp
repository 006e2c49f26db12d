#include "transforms.h"

#include <glm/gtc/matrix_transform.hpp>

namespace Qvis {
namespace Transforms {

glm::mat4 viewportTransform(float x, float y, float width, float height)
{
    float cx = static_cast<float>(static_cast<double>(x) + static_cast<double>(width) / 2.0);
    float cy = static_cast<float>(static_cast<double>(y) + static_cast<double>(height) / 2.0);
    float tx = 2.0f * cx - 1.0f;
    float ty = 2.0f * cy - 1.0f;
    glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(tx, ty, 0.0f));
    return glm::scale(m, glm::vec3(width, height, 1.0f));
}

} // namespace Transforms
} // namespace Qvis
