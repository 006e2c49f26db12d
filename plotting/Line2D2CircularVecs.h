// A line series drawn straight from two history rings; T is the x history's
// element type, U the y history's (double, float or int each).
#pragma once

#include <cstdint>
#include <vector>

#include "ILine2D.h"
#include "series_data.h"

namespace Qvis {

template <typename T, typename U>
class Line2D2CircularVecs : public ILine2D {
public:
    using E = SeriesData::StorageType<T, U>;

    Line2D2CircularVecs(std::vector<T>* xVec, std::vector<U>* yVec, unsigned int mode = 3);

    // Rebuilds the vertex array from the rings, oldest sample first.
    void updateInternalData(unsigned int startIndex);
    void Draw(Shader shader, glm::mat4 transform) override;
    std::vector<float> getMinMax() override;
    std::array<float, 4> extremes() override;

    // The CPU-side vertex array, x0, y0, x1, y1, ...
    const std::vector<E>& vertexData() const { return internalData; }

private:
    unsigned int VAO = 0;
    unsigned int VBO = 0;
    int nPts = 0;
    // Bytes the vertex buffer's store holds; it is re-specified only to grow.
    size_t vboBytes = 0;
    bool dataChanged = false;
    std::vector<T>* xVec;
    std::vector<U>* yVec;
    std::vector<E> internalData;
};

extern template class Line2D2CircularVecs<double, double>;
extern template class Line2D2CircularVecs<double, float>;
extern template class Line2D2CircularVecs<double, int>;
extern template class Line2D2CircularVecs<float, double>;
extern template class Line2D2CircularVecs<float, float>;
extern template class Line2D2CircularVecs<float, int>;
extern template class Line2D2CircularVecs<int, double>;
extern template class Line2D2CircularVecs<int, float>;
extern template class Line2D2CircularVecs<int, int>;

} // namespace Qvis
