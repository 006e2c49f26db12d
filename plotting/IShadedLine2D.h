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
    // Draws with the plot's two area programs: shader fills the inside,
    // edgeShader the band the curve crosses.
    virtual void Draw(Shader shader, Shader edgeShader, glm::mat4 transform) = 0;
    // Extremes of the samples, baseline included: xmin, xmax, ymin, ymax.
    virtual std::vector<float> getMinMax() = 0;

    void setShadeColour(glm::vec3 c) { shadeColour = c; }
    glm::vec3 getColour() { return shadeColour; }
    void setOpacityRatio(float r) { opacityRatio = r; }
    void setMode(unsigned int m) { mode = m; }
    unsigned int getMode() { return mode; }

protected:
    glm::vec3 shadeColour{1.0f, 1.0f, 1.0f};
    float opacityRatio = 1.0f;
    unsigned int mode = 0;
};

} // namespace Qvis
