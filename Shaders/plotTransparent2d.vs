#version 330 core
// Translucent areas, for both of their programs: the curve is ring.y samples
// of the history rings, from ring index ring.x on, wrapping at ring.z. The
// area is drawn a run of `chunk` segments at a time, as two rectangles from
// the run's first to its last sample's x: its inside, between y = 0 and the
// sample nearest to it, where every pixel is the area's (this program,
// plotTransparent2d); and the band beyond it up to the farthest sample, where
// the fragment finds the curve (plotAreaEdge2d). Where the samples lie on
// both sides of y = 0 the band spans them all and the inside is empty. A run
// whose x falls (the time went back, a new session) or is not a number is
// left out. Drawing order decides what lies on top.
uniform mat4 transformViewport;
uniform ivec3 ring;
uniform int chunk;
uniform bool band; // the bands, for plotAreaEdge2d, or the insides
uniform samplerBuffer xRing;
uniform samplerBuffer yRing;

out vec2 dataPosition;
// The run's first and last sample, the same at every corner; not flat, which
// would keep a software renderer from taking the rectangle as one.
out vec2 segments;

int slot(int i)
{
    int s = ring.x + i;
    return s >= ring.z ? s - ring.z : s;
}

void main()
{
    int first = gl_InstanceID * chunk;
    int last = min(first + chunk, ring.y - 1);
    float low = texelFetch(yRing, slot(first)).r;
    float high = low;
    for (int i = first + 1; i <= last; ++i) {
        float y = texelFetch(yRing, slot(i)).r;
        low = min(low, y);
        high = max(high, y);
    }
    float from = 0.0;
    float to = 0.0;
    if (low >= 0.0) {
        from = band ? low : 0.0;
        to = band ? high : low;
    } else if (high <= 0.0) {
        from = band ? high : 0.0;
        to = band ? low : high;
    } else if (band) {
        from = low;
        to = high;
    }
    float firstX = texelFetch(xRing, slot(first)).r;
    float lastX = texelFetch(xRing, slot(last)).r;
    if (!(firstX <= lastX))
        to = from;
    // Corners around the rectangle, as a fan: (0,0) (1,0) (1,1) (0,1).
    vec2 corner = vec2(gl_VertexID == 1 || gl_VertexID == 2, gl_VertexID >> 1);
    float x = corner.x > 0.0 ? lastX : firstX;
    dataPosition = vec2(x, mix(from, to, corner.y));
    segments = vec2(first, last);
    gl_Position = transformViewport * vec4(dataPosition, 0.0, 1.0);
}
