#include "shader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <glad/gl.h>

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
    const char* vertexPath = program->vertexPath;
    const char* fragmentPath = program->fragmentPath;
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

// Opens each source and reads a byte of it, which also refuses a directory
// standing where a file should be.
std::string unreadableShaderSource()
{
    for (const auto& program : kShaderSources) {
        for (const char* path : program) {
            errno = 0;
            FILE* f = std::fopen(path, "rb");
            if (!f)
                return std::string(path) + ": " + std::strerror(errno);
            char probe;
            errno = 0;
            const bool failed = std::fread(&probe, 1, 1, f) == 0 && std::ferror(f);
            const int error = errno;
            std::fclose(f);
            if (failed)
                return std::string(path) + ": " + std::strerror(error ? error : EIO);
        }
    }
    return std::string();
}


} // namespace Qvis
