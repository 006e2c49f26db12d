// A linked GL program built from a vertex and a fragment source file. A small
// value: copies name the same program, which is never deleted.
#pragma once

#include <memory>
#include <string>

namespace Qvis {

// Where a program keeps the uniforms the library's programs declare, looked
// up once after linking so that drawing needs no name lookups; -1 where the
// program has no such uniform, which GL's uniform calls quietly ignore.
struct ShaderUniforms {
    int transformViewport = -1;
    int inColor = -1;
    int textColor = -1;
    int textProjection = -1;
    int chunk = -1;
    int band = -1;
    int ring = -1;
    int xRing = -1;
    int yRing = -1;
};

class Shader {
public:
    // Names the two source files; the program is read, compiled and linked
    // at its first Use, so that a program nothing draws with costs nothing.
    Shader(const char* vertexPath, const char* fragmentPath);

    // Builds the program the first time, then makes it current.
    void Use();

    // The linked program (0 before the first Use) and its uniforms; copies
    // share them.
    unsigned int id() const { return program->id; }
    const ShaderUniforms& uniforms() const { return program->uniforms; }

private:
    struct Program {
        std::string vertexPath;
        std::string fragmentPath;
        bool built = false;
        unsigned int id = 0;
        ShaderUniforms uniforms;
    };
    void build();

    std::shared_ptr<Program> program;
};

// The vertex and fragment source files of the library's five programs (font,
// plot2d, plotPosNeg2d, plotTransparent2d and plotAreaEdge2d, which shares
// the translucent areas' vertex stage), relative to the folder that holds
// the Shaders folder.
extern const char* const kShaderSources[5][2];

// The path the plot builds kShaderSources[program][stage] from: in the first
// folder of resources.h that holds every source (relative, as listed, when
// that is the working directory). The folder found is kept for the run.
// When none holds them all, the relative path: the programs are then built
// from whatever the working directory has and report it.
std::string shaderSourcePath(int program, int stage);

// Why the sources cannot be read, in one line: the first file of the working
// directory that cannot be opened and read with the system's reason
// ("Shaders/font.vs: No such file or directory"), the folders looked in and
// how to mend it. Empty when some folder holds every source.
std::string unreadableShaderSource();

} // namespace Qvis
