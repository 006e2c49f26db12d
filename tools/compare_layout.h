// Where ibt compare puts things on its picture, as fractions of the picture
// from its lower left corner: the title above, the distance labels below, and
// the lanes stacked between, one under the other, all of one height. Each
// lane is a band with its name at the top and its axes below.
#pragma once

namespace compare_layout {

constexpr float kTitle = 0.09f;  // the top, for the title and the legend
constexpr float kBottom = 0.07f; // the bottom, for the distance labels and their name
constexpr float kLeft = 0.07f;   // left of the axes, for the lanes' labels
constexpr float kRight = 0.015f; // right of the axes
// Of a lane's height: its name's band at the top and a gap at the bottom.
constexpr float kLaneName = 0.2f;
constexpr float kLaneGap = 0.05f;

struct Band {
    float bottom, top;
};

// Lane i of n (0 the top one), all of it.
inline Band lane(int i, int n)
{
    const float height = (1.0f - kTitle - kBottom) / static_cast<float>(n);
    const float top = 1.0f - kTitle - height * static_cast<float>(i);
    return {top - height, top};
}

// The part of lane i of n that its axes fill.
inline Band laneAxes(int i, int n)
{
    const Band b = lane(i, n);
    const float height = b.top - b.bottom;
    return {b.bottom + kLaneGap * height, b.top - kLaneName * height};
}

} // namespace compare_layout
