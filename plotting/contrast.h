// Contrast of text against what lies behind it, by the relative luminance of
// sRGB colours (components from 0 to 1): the measure that says whether a
// coloured label can be read at a glance.
#pragma once

#include <glm/vec3.hpp>

namespace Qvis {

// The relative luminance of an sRGB colour: 0 for black, 1 for white.
float relativeLuminance(glm::vec3 colour);

// (L1 + 0.05) / (L2 + 0.05) of the lighter L1 and the darker L2: from 1 (the
// same) to 21 (black on white).
float contrastRatio(glm::vec3 a, glm::vec3 b);

// The colour itself when it stands out from a dark background by at least
// minRatio; else the least lighter shade of it (mixed toward white) that
// does, so that it still reads as the same colour. White is as far as it
// goes.
glm::vec3 legibleOn(glm::vec3 colour, glm::vec3 background, float minRatio = 4.5f);

} // namespace Qvis
