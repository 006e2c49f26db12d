// A shaded series drawn straight from two float history rings: the area
// between the curve and y = 0.
#pragma once

#include <cstdint>
#include <vector>

#include "IShadedLine2D.h"
#include "series_data.h"

namespace Qvis {

class ShadedLine2D2CircularVecs : public IShadedLine2D {
public:
    // The mode is kept for the interface's sake: the area is always drawn as
    // rectangles over runs of samples whose fragments find the curve.
    ShadedLine2D2CircularVecs(std::vector<float>* xVec, std::vector<float>* yVec,
                              unsigned int mode = 4);

    // Takes the rings' state for the next draw: how many samples they hold
    // and where the oldest is.
    void updateInternalData(unsigned int startIndex);
    void Draw(Shader shader, Shader edgeShader, glm::mat4 transform) override;
    std::vector<float> getMinMax() override;
    // The x of the newest sample (the last in ring order), skipping a NaN x;
    // with no samples, the same as getMinMax's xmax for none. Where x is time
    // this is where a sliding window ends, found without scanning the ring.
    float newestX() const;

private:
    // The rings go to the GPU as they are, one texture buffer each; the
    // fragment shader reads them from the run's first sample on.
    unsigned int VAO = 0;
    unsigned int buffers[2] = {0, 0};
    unsigned int textures[2] = {0, 0};
    size_t bufferBytes[2] = {0, 0};
    uint32_t samples = 0;
    uint32_t start = 0;
    bool dataChanged = false;
    std::vector<float>* xVec;
    std::vector<float>* yVec;
};

} // namespace Qvis
