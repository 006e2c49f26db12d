// A linked GL program built from a vertex and a fragment source file. A small
// value: copies name the same program, which is never deleted.
#pragma once

#include <string>

namespace Qvis {

class Shader {
public:
    Shader(const char* vertexPath, const char* fragmentPath);

    void Use();

    unsigned int ID = 0;
    // Locations of the uniforms the library's programs declare, looked up once
    // after linking so that drawing needs no name lookups; -1 where the program
    // has no such uniform, which GL's uniform calls quietly ignore.
    int transformViewportLoc = -1;
    int inColorLoc = -1;
    int zLoc = -1;
    int textColorLoc = -1;
    int textProjectionLoc = -1;
};

// The vertex and fragment source files of the library's four programs (font,
// plot2d, plotPosNeg2d, plotTransparent2d), read from the working directory.
extern const char* const kShaderSources[4][2];

// The first of those files that cannot be opened and read, with the system's
// reason ("Shaders/font.vs: No such file or directory"); empty when all can.
std::string unreadableShaderSource();

} // namespace Qvis
