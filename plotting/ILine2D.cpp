#include "ILine2D.h"

#include <glad/gl.h>
#include <glm/gtc/type_ptr.hpp>

namespace Qvis {

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

// Draws nPts vertices with the line width of the series, then restores width 1.
void ILine2D::drawData(Shader shader, glm::mat4 transform, unsigned int* VAO, glm::vec3 colour,
                       int nPts, unsigned int mode)
{
    shader.Use();
    glLineWidth(static_cast<float>(lineWidth));
    glUniformMatrix4fv(glGetUniformLocation(shader.ID, "transformViewport"), 1, GL_FALSE,
                       glm::value_ptr(transform));
    glUniform4f(glGetUniformLocation(shader.ID, "inColor"), colour.x, colour.y, colour.z, 1.0f);
    glBindVertexArray(*VAO);
    glDrawArrays(mode, 0, nPts);
    glBindVertexArray(0);
    glLineWidth(1.0f);
}

} // namespace Qvis
