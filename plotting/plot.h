// A plot: a rectangle of the window with the library's shader programs (each
// built when first drawn with), one set of axes and an optional red outline.
#pragma once

#include <memory>
#include <vector>

#include <glm/mat4x4.hpp>

#include "IShadedLine2D.h"
#include "ILine2D.h"
#include "IWindow.h"
#include "axes.h"
#include "shader.h"

namespace Qvis {

class Plot {
public:
    Plot(float x, float y, float width, float height, std::shared_ptr<IWindow> window);
    Plot(const Plot&) = delete;
    Plot& operator=(const Plot&) = delete;

    void Draw();
    void addLine(std::shared_ptr<ILine2D> line);
    void addPosNegLine(std::shared_ptr<ILine2D> line);
    void addShadedLine(std::shared_ptr<IShadedLine2D> line);
    // A text placed in fractions of the plot's rectangle, drawn last.
    void addText(std::shared_ptr<TextLabel> label);
    std::shared_ptr<Axes> getAxes();
    void setPlotOutlineOn(bool on);

    void createAndSetupBuffers();
    void setupFontShader(unsigned int width, unsigned int height);
    void drawPlotOutline(Shader shader, glm::mat4 transform);

private:
    float x;
    float y;
    float width;
    float height;
    std::shared_ptr<Axes> axes;
    Shader textShader;
    Shader plot2dShader;
    Shader plotPosNeg2dShader;
    Shader plotTransparent2dShader;
    Shader plotAreaEdge2dShader;
    bool plotOutlineOn;
    unsigned int VAO = 0;
    unsigned int VBO = 0;
    std::vector<float> outlineVertices;
    std::shared_ptr<IWindow> window;
};

} // namespace Qvis
