#include "ShadedLine2D2CircularVecs.h"

#include <glad/gl.h>

#include "series_data.h"

namespace Qvis {

// Builds the first vertices and indices and the GL buffers; needs a current context.
ShadedLine2D2CircularVecs::ShadedLine2D2CircularVecs(std::vector<float>* xVec,
                                                     std::vector<float>* yVec, unsigned int mode)
    : xVec(xVec), yVec(yVec)
{
    setMode(mode);
    updateInternalData(0);
    createAndSetupBuffers(&VAO, &VBO, &EBO, static_cast<int>(internalData.size() * sizeof(float)),
                          static_cast<int>(internalIndices.size() * sizeof(int)),
                          internalData.data(), internalIndices.data(), 2 * sizeof(float), GL_FLOAT);
}

void ShadedLine2D2CircularVecs::updateInternalData(unsigned int startIndex)
{
    SeriesData::unrollShaded(xVec, yVec, startIndex, internalData);
    SeriesData::shadedIndices(static_cast<uint32_t>(internalData.size() / 4), internalIndices);
    nIndices = static_cast<int>(internalIndices.size());
    dataChanged = true;
}

// Uploads rebuilt vertices and indices, then draws the area.
void ShadedLine2D2CircularVecs::Draw(Shader shader, glm::mat4 transform, float z)
{
    if (dataChanged) {
        nIndices = static_cast<int>(internalIndices.size());
        glBindBuffer(GL_ARRAY_BUFFER, VBO);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(internalData.size() * sizeof(float)),
                     internalData.data(), GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindVertexArray(VAO);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, EBO);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                     static_cast<GLsizeiptr>(internalIndices.size() * sizeof(int)),
                     internalIndices.data(), GL_DYNAMIC_DRAW);
        glBindVertexArray(0);
        dataChanged = false;
    }
    drawData(shader, transform, &VAO, getColour(), nIndices, z, getMode());
}

std::vector<float> ShadedLine2D2CircularVecs::getMinMax()
{
    return SeriesData::minMax(internalData);
}

} // namespace Qvis
