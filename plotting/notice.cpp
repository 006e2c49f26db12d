#include "notice.h"

#include <glad/gl.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

namespace Qvis {

namespace {

// Size of the line against the font's pixel size: larger than the labels, so
// that it reads at a glance on the strip too.
const float kTextScaling = 0.5f;

} // namespace

Notice::Notice(IWindow& window)
    : window(window)
    , dimShader(kShaderSources[1][0], kShaderSources[1][1])
    , textShader(kShaderSources[0][0], kShaderSources[0][1])
{
}

void Notice::setText(const char* text)
{
    if (!text)
        text = "";
    if (line != text)
        line = text;
}

void Notice::draw()
{
    if (line.empty())
        return;
    if (!font) {
        font = std::make_unique<GLFont>(defaultFontPath(), window.getScale());
        const float corners[] = {-1.0f, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, -1.0f, 1.0f};
        glGenVertexArrays(1, &quadVAO);
        glGenBuffers(1, &quadVBO);
        glBindVertexArray(quadVAO);
        glBindBuffer(GL_ARRAY_BUFFER, quadVBO);
        glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindVertexArray(0);
    }
    // The whole frame times (kDim, kDim, kDim, 1): the colours the compositor
    // takes as premultiplied darken, their alpha and so the translucency stay.
    dimShader.Use();
    const glm::mat4 identity(1.0f);
    glUniformMatrix4fv(dimShader.uniforms().transformViewport, 1, GL_FALSE, glm::value_ptr(identity));
    glUniform4f(dimShader.uniforms().inColor, kDim, kDim, kDim, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glBindVertexArray(quadVAO);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glBindVertexArray(0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float w = static_cast<float>(window.getWidth());
    const float h = static_cast<float>(window.getHeight());
    textShader.Use();
    const glm::mat4 projection = glm::ortho(0.0f, w, 0.0f, h);
    glUniformMatrix4fv(textShader.uniforms().textProjection, 1, GL_FALSE, glm::value_ptr(projection));
    font->RenderText(&textShader, line, w / 2.0f, h / 2.0f, kTextScaling, glm::vec3(1.0f, 1.0f, 1.0f), 3);
}

} // namespace Qvis
