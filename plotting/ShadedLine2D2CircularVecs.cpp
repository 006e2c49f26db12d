#include "ShadedLine2D2CircularVecs.h"

#include <glad/gl.h>

#include "series_data.h"

namespace Qvis {

namespace {

// Fills the bound buffer at `target` with `bytes` from `data`, re-specifying
// its store only when it must grow; `capacity` tracks the store's size.
void upload(GLenum target, size_t bytes, const void* data, size_t& capacity)
{
    if (bytes > capacity) {
        glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_DYNAMIC_DRAW);
        capacity = bytes;
    } else if (bytes > 0) {
        glBufferSubData(target, 0, static_cast<GLsizeiptr>(bytes), data);
    }
}

} // namespace

// Builds the first vertices and indices and the GL buffers; needs a current context.
ShadedLine2D2CircularVecs::ShadedLine2D2CircularVecs(std::vector<float>* xVec,
                                                     std::vector<float>* yVec, unsigned int mode)
    : xVec(xVec), yVec(yVec)
{
    setMode(mode);
    updateInternalData(0);
    vboBytes = internalData.size() * sizeof(float);
    eboBytes = internalIndices.size() * sizeof(int);
    createAndSetupBuffers(&VAO, &VBO, &EBO, static_cast<int>(vboBytes), static_cast<int>(eboBytes),
                          internalData.data(), internalIndices.data(), 2 * sizeof(float), GL_FLOAT);
    indicesChanged = false;
}

// The vertices follow the rings every frame; the index pattern depends only on
// the number of samples, so it is rebuilt only when that number changes.
void ShadedLine2D2CircularVecs::updateInternalData(unsigned int startIndex)
{
    SeriesData::unrollShaded(xVec, yVec, startIndex, internalData);
    const uint32_t n = static_cast<uint32_t>(internalData.size() / 4);
    if (n != indexedSamples) {
        SeriesData::shadedIndices(n, internalIndices);
        indexedSamples = n;
        indicesChanged = true;
    }
    nIndices = static_cast<int>(internalIndices.size());
    dataChanged = true;
}

// Uploads rebuilt vertices, and indices when their pattern changed, then draws
// the area; fewer than two samples draw nothing.
void ShadedLine2D2CircularVecs::Draw(Shader shader, glm::mat4 transform, float z)
{
    if (dataChanged) {
        nIndices = static_cast<int>(internalIndices.size());
        glBindBuffer(GL_ARRAY_BUFFER, VBO);
        upload(GL_ARRAY_BUFFER, internalData.size() * sizeof(float), internalData.data(), vboBytes);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        dataChanged = false;
    }
    if (indicesChanged) {
        // The vertex array keeps the element buffer binding.
        glBindVertexArray(VAO);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, EBO);
        upload(GL_ELEMENT_ARRAY_BUFFER, internalIndices.size() * sizeof(int), internalIndices.data(),
               eboBytes);
        glBindVertexArray(0);
        indicesChanged = false;
    }
    if (nIndices == 0)
        return;
    drawData(shader, transform, &VAO, getColour(), nIndices, z, getMode());
}

std::vector<float> ShadedLine2D2CircularVecs::getMinMax()
{
    return SeriesData::minMax(internalData);
}

float ShadedLine2D2CircularVecs::newestX() const
{
    return SeriesData::newestX(internalData, 4);
}

} // namespace Qvis
