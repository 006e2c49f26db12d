#include "font.h"

namespace Qvis {

const char* defaultFontPath()
{
    return "C:/Windows/Fonts/Arial.ttf";
}

} // namespace Qvis
