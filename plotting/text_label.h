// A line of text that a plot draws over its axes and series: placed in
// fractions of the plot's rectangle, in a colour and a size of its own, so
// that a view can show numbers and names beside what it plots.
#pragma once

#include <string>

#include <glm/vec3.hpp>

namespace Qvis {

class TextLabel {
public:
    // Where the anchor lies horizontally on the text.
    enum class Align { Left, Centre, Right };

    // x, y: the anchor as fractions of the plot's rectangle, y on the
    // baseline; pixelSize: the height of the font's em in pixels at the
    // window's scale 1.
    TextLabel(float x, float y, float pixelSize, glm::vec3 colour, Align align = Align::Centre)
        : x(x), y(y), pixelSize(pixelSize), colour(colour), align(align)
    {
        text.reserve(kReserved);
    }

    // An empty text draws nothing. Texts up to kReserved characters are set
    // without allocating, so that a view may set its numbers every frame.
    void setText(const char* t) { text.assign(t ? t : ""); }
    void setText(const std::string& t) { text.assign(t); }
    void setColour(glm::vec3 c) { colour = c; }
    void setPosition(float px, float py)
    {
        x = px;
        y = py;
    }

    const std::string& getText() const { return text; }
    glm::vec3 getColour() const { return colour; }
    float getX() const { return x; }
    float getY() const { return y; }
    float getPixelSize() const { return pixelSize; }
    Align getAlign() const { return align; }

    static constexpr size_t kReserved = 63;

private:
    std::string text;
    float x, y;
    float pixelSize;
    glm::vec3 colour;
    Align align;
};

} // namespace Qvis
