// What the delta overlay shows: how far the current lap is ahead of the
// reference lap (negative) or behind it (positive) at the car's position, the
// lap time that predicts, and the bar that draws it.
#pragma once

#include <vector>

class DeltaModel {
public:
    enum class State {
        NoReference, // no reference lap with timing yet
        OutLap,      // a reference, but no lap timed from the line yet
        Timing,      // delta and predicted lap time hold
    };

    // The bar runs from the centre to the delta, clamped here.
    static constexpr float kBarSeconds = 2.0f;

    DeltaModel() : barX(2, 0.0f), barY(2, 1.0f) {}

    void setNoReference() { set(State::NoReference, 0.0f, 0.0f); }
    void setOutLap(float referenceLapTime) { set(State::OutLap, 0.0f, referenceLapTime); }
    void setTiming(float delta, float predictedLapTime) { set(State::Timing, delta, predictedLapTime); }

    State state() const { return current; }
    float delta() const { return deltaSeconds; }
    // The reference's lap time plus the delta; the reference's lap time on an out lap.
    float predictedLapTime() const { return predicted; }

    // The bar as a shaded series: x from the smaller to the larger of 0 and
    // the clamped delta, y 1 at both; zero width while there is no delta.
    std::vector<float>* getBarX() { return &barX; }
    std::vector<float>* getBarY() { return &barY; }

private:
    void set(State state, float delta, float lapTime)
    {
        current = state;
        deltaSeconds = delta;
        predicted = lapTime;
        const float end = delta < -kBarSeconds ? -kBarSeconds : delta > kBarSeconds ? kBarSeconds : delta;
        barX[0] = end < 0.0f ? end : 0.0f;
        barX[1] = end > 0.0f ? end : 0.0f;
    }

    State current = State::NoReference;
    float deltaSeconds = 0.0f;
    float predicted = 0.0f;
    std::vector<float> barX;
    std::vector<float> barY;
};
