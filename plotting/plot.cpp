#include "plot.h"

#include <glad/gl.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "transforms.h"

namespace Qvis {

// Names the programs, builds the axes and the outline buffer; needs a current context.
Plot::Plot(float x, float y, float width, float height, std::shared_ptr<IWindow> window)
    : textShader(shaderSourcePath(0, 0).c_str(), shaderSourcePath(0, 1).c_str()),
      plot2dShader(shaderSourcePath(1, 0).c_str(), shaderSourcePath(1, 1).c_str()),
      plotPosNeg2dShader(shaderSourcePath(2, 0).c_str(), shaderSourcePath(2, 1).c_str()),
      plotTransparent2dShader(shaderSourcePath(3, 0).c_str(), shaderSourcePath(3, 1).c_str()),
      plotAreaEdge2dShader(shaderSourcePath(4, 0).c_str(), shaderSourcePath(4, 1).c_str()),
      plotOutlineOn(true),
      outlineVertices{-1.0f, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, -1.0f, 1.0f}
{
    this->x = x;
    this->y = y;
    this->width = width;
    this->height = height;
    this->window = window;
    axes = std::make_shared<Axes>(0.15f, 0.15f, 0.8f, 0.75f, window, &textShader);
    createAndSetupBuffers();
}

void Plot::createAndSetupBuffers()
{
    glGenVertexArrays(1, &VAO);
    glGenBuffers(1, &VBO);
    glBindVertexArray(VAO);
    glBindBuffer(GL_ARRAY_BUFFER, VBO);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(outlineVertices.size() * sizeof(float)),
                 outlineVertices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindVertexArray(0);
}

// Text coordinates as window pixels with the origin at the bottom left. Every
// drawing of text sets its own projection, so nothing calls this when the
// plot is built: the text program is built only when text is drawn.
void Plot::setupFontShader(unsigned int width, unsigned int height)
{
    Shader* text = axes->getTextShaderPt();
    text->Use();
    glm::mat4 projection = glm::ortho(0.0f, static_cast<float>(width), 0.0f, static_cast<float>(height));
    glUniformMatrix4fv(text->uniforms().textProjection, 1, GL_FALSE, glm::value_ptr(projection));
}

void Plot::Draw()
{
    glm::mat4 transform = Transforms::viewportTransform(x, y, width, height);
    if (plotOutlineOn)
        drawPlotOutline(plot2dShader, transform);
    axes->Draw(plot2dShader, plotPosNeg2dShader, plotTransparent2dShader, plotAreaEdge2dShader, transform);
}

void Plot::drawPlotOutline(Shader shader, glm::mat4 transform)
{
    shader.Use();
    glUniformMatrix4fv(shader.uniforms().transformViewport, 1, GL_FALSE, glm::value_ptr(transform));
    glUniform4f(shader.uniforms().inColor, 1.0f, 0.0f, 0.0f, 1.0f);
    glLineWidth(window->getScale());
    glBindVertexArray(VAO);
    glDrawArrays(GL_LINE_LOOP, 0, 4);
    glBindVertexArray(0);
    glLineWidth(1.0f);
}

void Plot::addLine(std::shared_ptr<ILine2D> line)
{
    axes->addLine(line);
}

void Plot::addPosNegLine(std::shared_ptr<ILine2D> line)
{
    axes->addPosNegLine(line);
}

void Plot::addShadedLine(std::shared_ptr<IShadedLine2D> line)
{
    axes->addShadedLine(line);
}

void Plot::addText(std::shared_ptr<TextLabel> label)
{
    axes->addText(std::move(label));
}

std::shared_ptr<Axes> Plot::getAxes()
{
    return axes;
}

void Plot::setPlotOutlineOn(bool on)
{
    plotOutlineOn = on;
}

} // namespace Qvis
