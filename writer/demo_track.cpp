#include "demo_track.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

const double kRampLength = 12.0;

double segmentLength(const Segment& seg)
{
    if (seg.angle == 0.0)
        return seg.length;
    return std::fabs(seg.angle) * seg.radius + kRampLength;
}

// Curvature at distance u into a segment.
double segmentCurvature(const Segment& seg, double u)
{
    if (seg.angle == 0.0)
        return 0.0;
    const double k = (seg.angle > 0 ? 1.0 : -1.0) / seg.radius;
    const double total = segmentLength(seg);
    return k * std::min(1.0, std::min(u / kRampLength, (total - u) / kRampLength));
}

} // namespace

// The segments of the lap; the two free straights are solved so that the
// loop closes.
Track::Track()
{
    segments = {
        {0.0, 0.0, 0.0, true},          // main straight
        {0.0, kPi / 2, 30.0, false},    // turn 1
        {90.0, 0.0, 0.0, false},
        {0.0, kPi / 4, 60.0, false},    // turn 2
        {70.0, 0.0, 0.0, false},
        {0.0, -kPi / 4, 80.0, false},   // the kink, to the right
        {50.0, 0.0, 0.0, false},
        {0.0, kPi / 2, 40.0, false},    // turn 4
        {180.0, 0.0, 0.0, false},       // back straight
        {0.0, kPi / 2, 50.0, false},    // turn 5
        {0.0, 0.0, 0.0, true},          // the run down to the last turn
        {0.0, kPi / 2, 25.0, false},    // last turn
        {40.0, 0.0, 0.0, false},
    };
    closeLoop();
    tabulate();
}

int Track::segmentAt(double s) const
{
    double start = 0.0;
    for (size_t i = 0; i < segments.size(); ++i) {
        start += segmentLength(segments[i]);
        if (s < start)
            return static_cast<int>(i);
    }
    return static_cast<int>(segments.size()) - 1;
}

// End point of the loop when it starts at the origin heading along x.
void Track::displacement(double& x, double& y) const
{
    x = y = 0.0;
    double phi = 0.0;
    for (const Segment& seg : segments) {
        const double len = segmentLength(seg);
        if (seg.angle == 0.0) {
            x += len * std::cos(phi);
            y += len * std::sin(phi);
            continue;
        }
        const int n = 2000;
        const double h = len / n;
        for (int i = 0; i < n; ++i) {
            const double u = (i + 0.5) * h;
            const double k = segmentCurvature(seg, u);
            phi += 0.5 * k * h;
            x += h * std::cos(phi);
            y += h * std::sin(phi);
            phi += 0.5 * k * h;
        }
    }
}

// Chooses the two free straights' lengths so that the loop ends where it began.
void Track::closeLoop()
{
    double dirs[2][2];
    int freeIdx[2];
    int found = 0;
    double phi = 0.0;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].freeLength && found < 2) {
            dirs[found][0] = std::cos(phi);
            dirs[found][1] = std::sin(phi);
            freeIdx[found++] = static_cast<int>(i);
        }
        phi += segments[i].angle;
    }
    double x, y;
    displacement(x, y);
    // a * d0 + b * d1 = -(x, y)
    const double det = dirs[0][0] * dirs[1][1] - dirs[0][1] * dirs[1][0];
    const double a = (-x * dirs[1][1] + y * dirs[1][0]) / det;
    const double b = (-y * dirs[0][0] + x * dirs[0][1]) / det;
    segments[freeIdx[0]].length = a;
    segments[freeIdx[1]].length = b;
}

// Curvature every quarter metre or so (the step divides the lap evenly), and
// the heading as its running integral.
void Track::tabulate()
{
    total = 0.0;
    for (const Segment& seg : segments)
        total += segmentLength(seg);
    const int n = static_cast<int>(std::ceil(total / 0.25));
    step = total / n;
    curvatures.assign(static_cast<size_t>(n) + 1, 0.0);
    headings.assign(static_cast<size_t>(n) + 1, 0.0);
    size_t seg = 0;
    double segStart = 0.0;
    for (int j = 0; j <= n; ++j) {
        const double s = j * step;
        while (seg + 1 < segments.size() && s >= segStart + segmentLength(segments[seg])) {
            segStart += segmentLength(segments[seg]);
            ++seg;
        }
        curvatures[j] = segmentCurvature(segments[seg], std::min(s - segStart, segmentLength(segments[seg])));
    }
    for (int j = 1; j <= n; ++j)
        headings[j] = headings[j - 1] + 0.5 * step * (curvatures[j - 1] + curvatures[j]);
}

// Linear interpolation of a table at distance s, clamped to the lap.
double Track::lerp(const std::vector<double>& table, double s) const
{
    const double pos = std::max(0.0, std::min(s, total)) / step;
    const size_t i = std::min(static_cast<size_t>(pos), table.size() - 2);
    const double f = pos - static_cast<double>(i);
    return table[i] + f * (table[i + 1] - table[i]);
}

const Track& demoTrack()
{
    static const Track track;
    return track;
}

} // namespace demo
