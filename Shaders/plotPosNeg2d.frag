#version 330 core
// At or above zero the line has inColor; below zero the same hue at half
// brightness. dataY is interpolated, so the change falls exactly on y = 0.
in float dataY;
out vec4 fragColor;

uniform vec4 inColor;

void main()
{
    fragColor = dataY >= 0.0 ? inColor : vec4(inColor.rgb * 0.5, inColor.a);
}
