#version 330 core
// The glyph bitmap's coverage (red channel) becomes the alpha of textColor.
in vec2 texCoords;
out vec4 fragColor;

uniform sampler2D glyph;
uniform vec3 textColor;

void main()
{
    fragColor = vec4(textColor, texture(glyph, texCoords).r);
}
