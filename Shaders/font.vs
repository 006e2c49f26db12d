#version 330 core
// Glyph quads: (x, y) in the text projection's space, (u, v) glyph texture coordinates.
layout (location = 0) in vec4 vertex;

uniform mat4 textProjection;

out vec2 texCoords;

void main()
{
    gl_Position = textProjection * vec4(vertex.xy, 0.0, 1.0);
    texCoords = vertex.zw;
}
