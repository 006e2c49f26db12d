#include "contrast.h"

#include <cmath>

namespace Qvis {

namespace {

float linear(float c)
{
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

} // namespace

float relativeLuminance(glm::vec3 c)
{
    return 0.2126f * linear(c.r) + 0.7152f * linear(c.g) + 0.0722f * linear(c.b);
}

float contrastRatio(glm::vec3 a, glm::vec3 b)
{
    const float la = relativeLuminance(a), lb = relativeLuminance(b);
    return la > lb ? (la + 0.05f) / (lb + 0.05f) : (lb + 0.05f) / (la + 0.05f);
}

// Luminance grows with the share of white, so the least share that is enough
// is found by halving the interval; white itself is the end of the search.
glm::vec3 legibleOn(glm::vec3 colour, glm::vec3 background, float minRatio)
{
    if (contrastRatio(colour, background) >= minRatio)
        return colour;
    const glm::vec3 white(1.0f);
    float enough = 1.0f, tooLittle = 0.0f;
    for (int i = 0; i < 20; ++i) {
        const float share = 0.5f * (enough + tooLittle);
        if (contrastRatio(colour + share * (white - colour), background) >= minRatio)
            enough = share;
        else
            tooLittle = share;
    }
    return colour + enough * (white - colour);
}

} // namespace Qvis
