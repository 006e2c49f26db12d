// A line of text across a window's whole picture, which is dimmed under it:
// how an overlay says that what it shows is no longer live, while still
// showing it. Views draw it last in every frame; without a text it draws
// nothing and costs nothing, and its font and programs are made the first
// time it has something to say.
#pragma once

#include <memory>
#include <string>

#include "IWindow.h"
#include "font.h"
#include "shader.h"

namespace Qvis {

class Notice {
public:
    explicit Notice(IWindow& window);
    Notice(const Notice&) = delete;
    Notice& operator=(const Notice&) = delete;

    // The line, kept as given; null or empty for none. An unchanged text
    // costs a comparison, so callers may set it every frame.
    void setText(const char* text);
    const std::string& text() const { return line; }

    // Dims what the frame holds so far to kDim of its brightness, keeping
    // its translucency, and draws the line in white across the middle.
    void draw();

    static constexpr float kDim = 0.35f;

private:
    IWindow& window;
    std::string line;
    Shader dimShader;
    Shader textShader;
    std::unique_ptr<GLFont> font;
    unsigned int quadVAO = 0;
    unsigned int quadVBO = 0;
};

} // namespace Qvis
