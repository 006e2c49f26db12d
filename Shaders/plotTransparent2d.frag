#version 330 core
// The insides of a translucent area (see plotTransparent2d.vs): every pixel
// is the area's. inColor's alpha is the area's opacity; blending makes it
// translucent.
out vec4 fragColor;

uniform vec4 inColor;

void main()
{
    fragColor = inColor;
}
