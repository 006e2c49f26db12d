#include "IShadedLine2D.h"

#include <glad/gl.h>
#include <glm/gtc/type_ptr.hpp>

namespace Qvis {

// Vertex array, vertex buffer and element buffer; the vertex array keeps the elements.
void IShadedLine2D::createAndSetupBuffers(unsigned int* VAO, unsigned int* VBO, unsigned int* EBO,
                                          int nBytesVertices, int nBytesIndices,
                                          const void* vertices, const void* indices, int stride,
                                          int glType)
{
    glGenVertexArrays(1, VAO);
    glGenBuffers(1, VBO);
    glGenBuffers(1, EBO);
    glBindVertexArray(*VAO);
    glBindBuffer(GL_ARRAY_BUFFER, *VBO);
    glBufferData(GL_ARRAY_BUFFER, nBytesVertices, vertices, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, *EBO);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, nBytesIndices, indices, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, static_cast<GLenum>(glType), GL_FALSE, stride, nullptr);
    glBindVertexArray(0);
}

// Draws the indexed area in the fill colour with the series' opacity at depth z.
void IShadedLine2D::drawData(Shader shader, glm::mat4 transform, unsigned int* VAO,
                             glm::vec3 colour, int nIndices, float z, unsigned int mode)
{
    shader.Use();
    glUniformMatrix4fv(shader.transformViewportLoc, 1, GL_FALSE, glm::value_ptr(transform));
    glUniform4f(shader.inColorLoc, colour.x, colour.y, colour.z, opacityRatio);
    glUniform1f(shader.zLoc, z);
    glBindVertexArray(*VAO);
    glDrawElements(mode, nIndices, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
}

} // namespace Qvis
