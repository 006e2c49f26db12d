#version 330 core
// inColor's alpha is the series' opacity; blending makes the area translucent.
out vec4 fragColor;

uniform vec4 inColor;

void main()
{
    fragColor = inColor;
}
