#include "ShadedLine2D2CircularVecs.h"

#include <glad/gl.h>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat4x4.hpp>

#include "gl_buffer.h"

namespace Qvis {

namespace {

// Texture units of the x and y rings; unit 0 is the glyphs'.
const GLint kXUnit = 1;
const GLint kYUnit = 2;
// Segments under one rectangle: fewer rectangles cost less to set up, fewer
// segments less to search in each fragment.
const uint32_t kChunk = 16;

} // namespace

// Creates the rings' buffers and textures and an empty vertex array (the
// rectangle's corners come from the vertex index); needs a current context.
ShadedLine2D2CircularVecs::ShadedLine2D2CircularVecs(std::vector<float>* xVec,
                                                     std::vector<float>* yVec, unsigned int mode)
    : xVec(xVec), yVec(yVec)
{
    setMode(mode);
    glGenVertexArrays(1, &VAO);
    glGenBuffers(2, buffers);
    glGenTextures(2, textures);
    for (int i = 0; i < 2; ++i) {
        glBindBuffer(GL_TEXTURE_BUFFER, buffers[i]);
        glBufferData(GL_TEXTURE_BUFFER, sizeof(float), nullptr, GL_DYNAMIC_DRAW);
        glBindTexture(GL_TEXTURE_BUFFER, textures[i]);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_R32F, buffers[i]);
        bufferBytes[i] = sizeof(float);
    }
    glBindTexture(GL_TEXTURE_BUFFER, 0);
    glBindBuffer(GL_TEXTURE_BUFFER, 0);
    updateInternalData(0);
}

// Nothing is copied here: the rings go up as they are when drawn.
void ShadedLine2D2CircularVecs::updateInternalData(unsigned int startIndex)
{
    samples = SeriesData::commonLength(xVec, yVec);
    start = startIndex < samples ? startIndex : 0;
    dataChanged = true;
}

// Uploads the rings when they changed (storage grows only when too small),
// then draws two rectangles over each run of kChunk segments: the inside,
// filled whole, and the band the curve crosses, where the fragment shader
// keeps what lies between the curve and y = 0 with its edges anti-aliased.
// Fewer than two samples draw nothing.
void ShadedLine2D2CircularVecs::Draw(Shader shader, Shader edgeShader, glm::mat4 transform)
{
    if (dataChanged) {
        const size_t bytes = samples * sizeof(float);
        const float* rings[2] = {xVec ? xVec->data() : nullptr, yVec ? yVec->data() : nullptr};
        for (int i = 0; i < 2; ++i) {
            glBindBuffer(GL_TEXTURE_BUFFER, buffers[i]);
            uploadGrowing(GL_TEXTURE_BUFFER, bytes, rings[i], bufferBytes[i]);
        }
        glBindBuffer(GL_TEXTURE_BUFFER, 0);
        dataChanged = false;
    }
    if (samples < 2)
        return;
    const GLsizei chunks = static_cast<GLsizei>((samples - 2) / kChunk + 1);
    glActiveTexture(GL_TEXTURE0 + kXUnit);
    glBindTexture(GL_TEXTURE_BUFFER, textures[0]);
    glActiveTexture(GL_TEXTURE0 + kYUnit);
    glBindTexture(GL_TEXTURE_BUFFER, textures[1]);
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(VAO);
    for (Shader* program : {&shader, &edgeShader}) {
        program->Use();
        const ShaderUniforms& u = program->uniforms();
        glUniformMatrix4fv(u.transformViewport, 1, GL_FALSE, glm::value_ptr(transform));
        glUniform4f(u.inColor, shadeColour.x, shadeColour.y, shadeColour.z, opacityRatio);
        glUniform1i(u.chunk, static_cast<GLint>(kChunk));
        glUniform1i(u.band, program == &edgeShader);
        glUniform3i(u.ring, static_cast<GLint>(start), static_cast<GLint>(samples), static_cast<GLint>(samples));
        glUniform1i(u.xRing, kXUnit);
        glUniform1i(u.yRing, kYUnit);
        // A fan of four corners, rather than a strip, is what a software
        // renderer recognises as a rectangle and fills without edge tests.
        glDrawArraysInstanced(GL_TRIANGLE_FAN, 0, 4, chunks);
    }
    glBindVertexArray(0);
}

std::vector<float> ShadedLine2D2CircularVecs::getMinMax()
{
    const std::array<float, 4> e = SeriesData::shadedExtremes(xVec, yVec, samples);
    return {e[0], e[1], e[2], e[3]};
}

float ShadedLine2D2CircularVecs::newestX() const
{
    return SeriesData::newestX(xVec, samples, start);
}

} // namespace Qvis
