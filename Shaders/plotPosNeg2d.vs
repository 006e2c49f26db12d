#version 330 core
// Positive/negative lines: as the plain lines, and the data y value is passed
// on so that the fragment stage can tell which side of zero it lies on.
layout (location = 0) in vec2 position;

uniform mat4 transformViewport;

out float dataY;

void main()
{
    dataY = position.y;
    gl_Position = transformViewport * vec4(position, 0.0, 1.0);
}
