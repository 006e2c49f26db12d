#include "shader.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <glad/gl.h>

#include "resources.h"

namespace Qvis {

namespace {

// Compiles one stage; a failure prints the stage's message with both paths and the log.
unsigned int compileStage(GLenum type, const std::string& code, const char* label,
                          const char* vertexPath, const char* fragmentPath)
{
    unsigned int s = glCreateShader(type);
    const char* text = code.c_str();
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    int success = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &success);
    if (!success) {
        char infoLog[512] = {};
        glGetShaderInfoLog(s, 512, nullptr, infoLog);
        std::cout << "ERROR::SHADER::" << label << "::COMPILATION_FAILED\n"
                  << vertexPath << ", " << fragmentPath << "\n" << infoLog << std::endl;
    }
    return s;
}

} // namespace

Shader::Shader(const char* vertexPath, const char* fragmentPath) : program(std::make_shared<Program>())
{
    program->vertexPath = vertexPath;
    program->fragmentPath = fragmentPath;
}

void Shader::Use()
{
    if (!program->built)
        build();
    glUseProgram(program->id);
}

// Reads both files, compiles and links; problems are printed and drawing goes on.
void Shader::build()
{
    program->built = true;
    const char* vertexPath = program->vertexPath.c_str();
    const char* fragmentPath = program->fragmentPath.c_str();
    std::string vertexCode;
    std::string fragmentCode;
    std::ifstream vShaderFile;
    std::ifstream fShaderFile;
    vShaderFile.exceptions(std::ifstream::badbit);
    fShaderFile.exceptions(std::ifstream::badbit);
    try {
        vShaderFile.open(vertexPath);
        fShaderFile.open(fragmentPath);
        std::stringstream vShaderStream, fShaderStream;
        if (vShaderFile.is_open())
            vShaderStream << vShaderFile.rdbuf();
        if (fShaderFile.is_open())
            fShaderStream << fShaderFile.rdbuf();
        vShaderFile.close();
        fShaderFile.close();
        vertexCode = vShaderStream.str();
        fragmentCode = fShaderStream.str();
    } catch (const std::ifstream::failure&) {
        std::cout << "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ:\n"
                  << vertexPath << ", " << fragmentPath << std::endl;
    }

    unsigned int vertex = compileStage(GL_VERTEX_SHADER, vertexCode, "VERTEX", vertexPath, fragmentPath);
    unsigned int fragment =
        compileStage(GL_FRAGMENT_SHADER, fragmentCode, "FRAGMENT", vertexPath, fragmentPath);

    const unsigned int ID = glCreateProgram();
    program->id = ID;
    glAttachShader(ID, vertex);
    glAttachShader(ID, fragment);
    glLinkProgram(ID);
    int success = 0;
    glGetProgramiv(ID, GL_LINK_STATUS, &success);
    if (!success) {
        char infoLog[512] = {};
        glGetProgramInfoLog(ID, 512, nullptr, infoLog);
        std::cout << "ERROR::SHADER::PROGRAM::LINKING_FAILED\n"
                  << vertexPath << ", " << fragmentPath << "\n" << infoLog << std::endl;
    } else {
        ShaderUniforms& u = program->uniforms;
        u.transformViewport = glGetUniformLocation(ID, "transformViewport");
        u.inColor = glGetUniformLocation(ID, "inColor");
        u.textColor = glGetUniformLocation(ID, "textColor");
        u.textProjection = glGetUniformLocation(ID, "textProjection");
        u.chunk = glGetUniformLocation(ID, "chunk");
        u.band = glGetUniformLocation(ID, "band");
        u.ring = glGetUniformLocation(ID, "ring");
        u.xRing = glGetUniformLocation(ID, "xRing");
        u.yRing = glGetUniformLocation(ID, "yRing");
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
}

const char* const kShaderSources[5][2] = {
    {"Shaders/font.vs", "Shaders/font.frag"},
    {"Shaders/plot2d.vs", "Shaders/plot2d.frag"},
    {"Shaders/plotPosNeg2d.vs", "Shaders/plotPosNeg2d.frag"},
    {"Shaders/plotTransparent2d.vs", "Shaders/plotTransparent2d.frag"},
    {"Shaders/plotTransparent2d.vs", "Shaders/plotAreaEdge2d.frag"},
};

namespace {

// The folder that holds every source ("" for the working directory), kept
// once found. While none does, the working directory, and *problem says why.
std::string shaderFolder(std::string* problem)
{
    static bool found = false;
    static std::string kept;
    if (found)
        return kept;
    std::vector<std::string> files;
    for (const auto& program : kShaderSources)
        files.insert(files.end(), program, program + 2);
    const std::vector<std::string> folders = resourceFolders();
    for (const std::string& folder : folders) {
        if (unreadableResource(folder, files).empty()) {
            found = true;
            kept = folder;
            return kept;
        }
    }
    *problem = unreadableResource(folders[0], files) + "; looked in " + describeResourceFolders(folders) +
               ": start the program from a folder that holds its Shaders folder, or install it again";
    return folders[0];
}

} // namespace

std::string shaderSourcePath(int program, int stage)
{
    std::string problem;
    return shaderFolder(&problem) + kShaderSources[program][stage];
}

std::string unreadableShaderSource()
{
    std::string problem;
    shaderFolder(&problem);
    return problem;
}

} // namespace Qvis
