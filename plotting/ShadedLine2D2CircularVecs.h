// A shaded series drawn straight from two float history rings: the area
// between the curve and y = 0.
#pragma once

#include <cstdint>
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
    // The x of the newest sample (the last in ring order), skipping a NaN x;
    // with no samples, the same as getMinMax's xmax for none. Where x is time
    // this is where a sliding window ends, found without scanning the ring.
    float newestX() const;

    const std::vector<float>& vertexData() const { return internalData; }
    const std::vector<int>& indexData() const { return internalIndices; }

private:
    unsigned int VAO = 0;
    unsigned int VBO = 0;
    unsigned int EBO = 0;
    int nIndices = 0;
    bool dataChanged = false;
    // The index pattern is built for indexedSamples samples and waits for
    // upload while indicesChanged; the buffers' stores hold vboBytes and
    // eboBytes and are re-specified only to grow.
    uint32_t indexedSamples = UINT32_MAX;
    bool indicesChanged = false;
    size_t vboBytes = 0;
    size_t eboBytes = 0;
    std::vector<float>* xVec;
    std::vector<float>* yVec;
    std::vector<float> internalData;
    std::vector<int> internalIndices;
};

} // namespace Qvis
