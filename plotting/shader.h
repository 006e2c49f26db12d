// A linked GL program built from a vertex and a fragment source file. A small
// value: copies name the same program, which is never deleted.
#pragma once

namespace Qvis {

class Shader {
public:
    Shader(const char* vertexPath, const char* fragmentPath);

    void Use();

    unsigned int ID = 0;
};

} // namespace Qvis
