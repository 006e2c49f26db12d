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
};

// The vertex and fragment source files of the library's four programs (font,
// plot2d, plotPosNeg2d, plotTransparent2d), read from the working directory.
extern const char* const kShaderSources[4][2];

// The first of those files that cannot be opened and read, with the system's
// reason ("Shaders/font.vs: No such file or directory"); empty when all can.
std::string unreadableShaderSource();

} // namespace Qvis
