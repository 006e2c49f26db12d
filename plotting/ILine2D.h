// A line series the axes draw: a polyline (or any primitive mode) through
// points (x, y) read from two history rings.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "shader.h"

namespace Qvis {

class ILine2D {
public:
    virtual ~ILine2D() = default;
    virtual void Draw(Shader shader, glm::mat4 transform) = 0;
    // Extremes of the stored vertices: xmin, xmax, ymin, ymax.
    virtual std::vector<float> getMinMax() = 0;
    // The same extremes without a heap allocation, for per-frame autoscaling.
    virtual std::array<float, 4> extremes();

    void setLineColour(glm::vec3 c) { colour = c; }
    glm::vec3 getColour() { return colour; }
    void setLineWidth(unsigned int w) { lineWidth = w; }
    // The window's scale, which multiplies the width when the line is drawn.
    void setLineWidthScale(float s) { widthScale = s; }
    void setMode(unsigned int m) { mode = m; }
    unsigned int getMode() { return mode; }
    // What the legend calls the line; a line without a label has no entry.
    void setLabel(const std::string& text) { label = text; }
    const std::string& getLabel() const { return label; }

protected:
    void createAndSetupBuffers(unsigned int* VAO, unsigned int* VBO, int nBytes, const void* data,
                               int stride, int glType);
    void drawData(Shader shader, glm::mat4 transform, unsigned int* VAO, glm::vec3 colour, int nPts,
                  unsigned int mode);

    unsigned int lineWidth = 1;
    float widthScale = 1.0f;
    glm::vec3 colour{1.0f, 1.0f, 1.0f};
    unsigned int mode = 0;
    std::string label;
};

} // namespace Qvis
