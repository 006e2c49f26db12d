#version 330 core
// Plain lines: data or normalised coordinates through transformViewport, at depth 0.
layout (location = 0) in vec2 position;

uniform mat4 transformViewport;

void main()
{
    gl_Position = transformViewport * vec4(position, 0.0, 1.0);
}
