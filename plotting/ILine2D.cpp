#include "ILine2D.h"

#include <limits>

#include <glad/gl.h>
#include <glm/gtc/type_ptr.hpp>

namespace Qvis {

// Series that only report a list give it as four floats; a shorter list leaves
// the missing extremes empty (largest float as minimum, its negative as maximum).
std::array<float, 4> ILine2D::extremes()
{
    const float big = std::numeric_limits<float>::max();
    std::array<float, 4> e{big, -big, big, -big};
    const std::vector<float> m = getMinMax();
    for (size_t i = 0; i < m.size() && i < e.size(); ++i)
        e[i] = m[i];
    return e;
}

// One vertex array with one buffer; attribute 0 is two components of glType.
void ILine2D::createAndSetupBuffers(unsigned int* VAO, unsigned int* VBO, int nBytes,
                                    const void* data, int stride, int glType)
{
    glGenVertexArrays(1, VAO);
    glGenBuffers(1, VBO);
    glBindVertexArray(*VAO);
    glBindBuffer(GL_ARRAY_BUFFER, *VBO);
    glBufferData(GL_ARRAY_BUFFER, nBytes, data, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, static_cast<GLenum>(glType), GL_FALSE, stride, nullptr);
    glBindVertexArray(0);
}

// Draws nPts vertices with the line width of the series at the window's
// scale, then restores width 1.
void ILine2D::drawData(Shader shader, glm::mat4 transform, unsigned int* VAO, glm::vec3 colour,
                       int nPts, unsigned int mode)
{
    shader.Use();
    glLineWidth(static_cast<float>(lineWidth) * widthScale);
    glUniformMatrix4fv(shader.uniforms().transformViewport, 1, GL_FALSE, glm::value_ptr(transform));
    glUniform4f(shader.uniforms().inColor, colour.x, colour.y, colour.z, 1.0f);
    glBindVertexArray(*VAO);
    glDrawArrays(mode, 0, nPts);
    glBindVertexArray(0);
    glLineWidth(1.0f);
}

} // namespace Qvis
