#version 330 core
// Translucent areas: each series lies at its own depth z (0 < z < 1), inside
// the depth range and in front of the cleared depth of 1, so it always passes
// the depth test; depth writes are off, so drawing order still decides.
layout (location = 0) in vec2 position;

uniform mat4 transformViewport;
uniform float z;

void main()
{
    gl_Position = transformViewport * vec4(position, 0.0, 1.0);
    gl_Position.z = clamp(z, 0.0, 0.99) * gl_Position.w;
}
