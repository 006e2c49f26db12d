#version 330 core
// The band of a translucent area that its curve crosses, one run of segments
// at a time (see plotTransparent2d.vs): the fragment finds the segment over
// it by bisection within the run and keeps the part of its pixel that lies
// between the segment and y = 0, so the edges are anti-aliased across one
// pixel. inColor's alpha is the area's opacity; blending makes it
// translucent.
in vec2 dataPosition;
in vec2 segments;
out vec4 fragColor;

uniform vec4 inColor;
uniform ivec3 ring;
uniform samplerBuffer xRing;
uniform samplerBuffer yRing;

int slot(int i)
{
    int s = ring.x + i;
    return s >= ring.z ? s - ring.z : s;
}

float xAt(int i)
{
    return texelFetch(xRing, slot(i)).r;
}

void main()
{
    float x = dataPosition.x;
    int lo = int(segments.x + 0.5);
    int hi = int(segments.y + 0.5);
    while (hi - lo > 1) {
        int mid = (lo + hi) / 2;
        if (xAt(mid) <= x)
            lo = mid;
        else
            hi = mid;
    }
    float x0 = xAt(lo);
    float x1 = xAt(hi);
    float y0 = texelFetch(yRing, slot(lo)).r;
    float y1 = texelFetch(yRing, slot(hi)).r;
    float curve = x1 > x0 ? mix(y0, y1, clamp((x - x0) / (x1 - x0), 0.0, 1.0)) : y1;

    // How much of the pixel's height lies between the curve and zero.
    float pixel = fwidth(dataPosition.y);
    float top = max(curve, 0.0);
    float bottom = min(curve, 0.0);
    float cover = clamp((top - dataPosition.y) / pixel + 0.5, 0.0, 1.0) *
                  clamp((dataPosition.y - bottom) / pixel + 0.5, 0.0, 1.0);
    if (cover <= 0.0)
        discard;
    fragColor = vec4(inColor.rgb, inColor.a * cover);
}
