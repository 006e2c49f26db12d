#include "Line2D2CircularVecs.h"

#include <type_traits>

#include <glad/gl.h>

#include "gl_buffer.h"

namespace Qvis {

namespace {

template <typename E>
constexpr int glTypeOf()
{
    if constexpr (std::is_same_v<E, double>)
        return GL_DOUBLE;
    else if constexpr (std::is_same_v<E, float>)
        return GL_FLOAT;
    else
        return GL_INT;
}

} // namespace

// Builds the first vertex array and the GL buffers; needs a current context.
template <typename T, typename U>
Line2D2CircularVecs<T, U>::Line2D2CircularVecs(std::vector<T>* xVec, std::vector<U>* yVec,
                                               unsigned int mode)
    : xVec(xVec), yVec(yVec)
{
    setMode(mode);
    updateInternalData(0);
    vboBytes = internalData.size() * sizeof(E);
    createAndSetupBuffers(&VAO, &VBO, static_cast<int>(vboBytes), internalData.data(),
                          static_cast<int>(2 * sizeof(E)), glTypeOf<E>());
    nPts = static_cast<int>(internalData.size() / 2);
}

template <typename T, typename U>
void Line2D2CircularVecs<T, U>::updateInternalData(unsigned int startIndex)
{
    SeriesData::unrollLine(xVec, yVec, startIndex, internalData);
    if (getMode() == GL_LINE_STRIP)
        SeriesData::dropInnerStraightVertices(internalData);
    dataChanged = true;
}

// Uploads a rebuilt vertex array into the buffer, which grows only when too
// small, then draws it; no vertices draw nothing.
template <typename T, typename U>
void Line2D2CircularVecs<T, U>::Draw(Shader shader, glm::mat4 transform)
{
    if (dataChanged) {
        nPts = static_cast<int>(internalData.size() / 2);
        const size_t bytes = internalData.size() * sizeof(E);
        glBindBuffer(GL_ARRAY_BUFFER, VBO);
        uploadGrowing(GL_ARRAY_BUFFER, bytes, internalData.data(), vboBytes);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        dataChanged = false;
    }
    if (nPts == 0)
        return;
    drawData(shader, transform, &VAO, getColour(), nPts, getMode());
}

template <typename T, typename U>
std::vector<float> Line2D2CircularVecs<T, U>::getMinMax()
{
    return SeriesData::minMax(internalData);
}

template <typename T, typename U>
std::array<float, 4> Line2D2CircularVecs<T, U>::extremes()
{
    return SeriesData::extremes(internalData);
}

template class Line2D2CircularVecs<double, double>;
template class Line2D2CircularVecs<double, float>;
template class Line2D2CircularVecs<double, int>;
template class Line2D2CircularVecs<float, double>;
template class Line2D2CircularVecs<float, float>;
template class Line2D2CircularVecs<float, int>;
template class Line2D2CircularVecs<int, double>;
template class Line2D2CircularVecs<int, float>;
template class Line2D2CircularVecs<int, int>;

} // namespace Qvis
