// A shaded series the axes draw: the area between a curve and y = 0, filled
// with a translucent colour.
#pragma once

#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "shader.h"

namespace Qvis {

class IShadedLine2D {
public:
    virtual ~IShadedLine2D() = default;
    // z is the series' depth, strictly between 0 and 1.
    virtual void Draw(Shader shader, glm::mat4 transform, float z) = 0;
    // Extremes of the stored vertices, baseline included: xmin, xmax, ymin, ymax.
    virtual std::vector<float> getMinMax() = 0;

    void setShadeColour(glm::vec3 c) { shadeColour = c; }
    glm::vec3 getColour() { return shadeColour; }
    void setOpacityRatio(float r) { opacityRatio = r; }
    void setMode(unsigned int m) { mode = m; }
    unsigned int getMode() { return mode; }

protected:
    void createAndSetupBuffers(unsigned int* VAO, unsigned int* VBO, unsigned int* EBO,
                               int nBytesVertices, int nBytesIndices, const void* vertices,
                               const void* indices, int stride, int glType);
    void drawData(Shader shader, glm::mat4 transform, unsigned int* VAO, glm::vec3 colour,
                  int nIndices, float z, unsigned int mode);

    glm::vec3 shadeColour{1.0f, 1.0f, 1.0f};
    float opacityRatio = 1.0f;
    unsigned int mode = 0;
};

} // namespace Qvis
