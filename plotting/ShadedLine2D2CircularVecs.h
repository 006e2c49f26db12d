// A shaded series drawn straight from two float history rings: the area
// between the curve and y = 0.
#pragma once

#include <vector>

#include "IShadedLine2D.h"

namespace Qvis {

class ShadedLine2D2CircularVecs : public IShadedLine2D {
public:
    ShadedLine2D2CircularVecs(std::vector<float>* xVec, std::vector<float>* yVec,
                              unsigned int mode = 4);

    // Rebuilds vertices and indices from the rings, oldest sample first.
    void updateInternalData(unsigned int startIndex);
    void Draw(Shader shader, glm::mat4 transform, float z) override;
    std::vector<float> getMinMax() override;

    const std::vector<float>& vertexData() const { return internalData; }
    const std::vector<int>& indexData() const { return internalIndices; }

private:
    unsigned int VAO = 0;
    unsigned int VBO = 0;
    unsigned int EBO = 0;
    int nIndices = 0;
    bool dataChanged = false;
    std::vector<float>* xVec;
    std::vector<float>* yVec;
    std::vector<float> internalData;
    std::vector<int> internalIndices;
};

} // namespace Qvis
