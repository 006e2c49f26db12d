// Limits, autoscaling and tick layout of the axes.
#include "axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include <glm/gtc/matrix_transform.hpp>

namespace Qvis {

namespace AxesMaths {

namespace {

constexpr float floatMax = std::numeric_limits<float>::max();

// Stores a double as float, saturating at the largest finite float.
float saturate(double v)
{
    if (v > static_cast<double>(floatMax))
        return floatMax;
    if (v < -static_cast<double>(floatMax))
        return -floatMax;
    return static_cast<float>(v);
}

bool finite2(float a, float b)
{
    return std::isfinite(a) && std::isfinite(b);
}

// 10^k for k >= 0 by repeated multiplication: exact up to 10^22 and the same
// on every C library, unlike pow, whose last bit differs between them.
double powerOfTen(int k)
{
    double p = 1.0;
    for (int i = 0; i < k; ++i)
        p *= 10.0;
    return p;
}

// Rounds v outward to two significant figures of its order of magnitude: down
// for a minimum, up for a maximum. A step below 1 is applied as a division by
// an exact 10^k, because 10^-k has no exact binary value and 0.5 would come out
// as 0.49.
float roundOutward(float v, bool maximum)
{
    if (!std::isfinite(v))
        return v;
    float m = v;
    int e = -1;
    while (std::fabs(m) > 1.0f) {
        ++e;
        m = m / 10.0f;
    }
    const int k = e - 1;
    const double x = static_cast<double>(v);
    if (k < 0) {
        const double scale = powerOfTen(-k);
        const double q = x * scale;
        return saturate((maximum ? std::ceil(q) : std::floor(q)) / scale);
    }
    const double step = powerOfTen(k);
    const double q = x / step;
    return saturate((maximum ? std::ceil(q) : std::floor(q)) * step);
}

// The limit steps on four floats in place, shared by the list and array forms.
void adjustSigFig4(float* l, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        l[i] = roundOutward(l[i], i % 2 == 1);
}

void makeAxesEqual4(float* l, float widthPx, float heightPx)
{
    if (!(widthPx > 0.0f) || !(heightPx > 0.0f))
        return;
    float xRange = l[1] - l[0];
    float yRange = l[3] - l[2];
    if (!finite2(xRange, yRange))
        return;
    if (yRange / heightPx > xRange / widthPx) {
        float newXRange = yRange * widthPx / heightPx;
        double centre = (static_cast<double>(l[0]) + l[1]) / 2.0;
        l[0] = saturate(centre - newXRange / 2.0);
        l[1] = saturate(centre + newXRange / 2.0);
    } else {
        float newYRange = xRange * heightPx / widthPx;
        double centre = (static_cast<double>(l[2]) + l[3]) / 2.0;
        l[2] = saturate(centre - newYRange / 2.0);
        l[3] = saturate(centre + newYRange / 2.0);
    }
}

// Widens the extremes o (xmin, xmax, ymin, ymax) to take in c.
template <typename Extremes>
void widen(Extremes& o, const Extremes& c)
{
    if (o[0] > c[0])
        o[0] = c[0];
    if (c[1] > o[1])
        o[1] = c[1];
    if (o[2] > c[2])
        o[2] = c[2];
    if (c[3] > o[3])
        o[3] = c[3];
}

} // namespace

void compareMinMax(std::vector<float>* overall, const std::vector<float>& c)
{
    if (overall->size() >= 4 && c.size() >= 4)
        widen(*overall, c);
}

void compareMinMax(std::array<float, 4>& o, const std::array<float, 4>& c)
{
    widen(o, c);
}

void adjustSigFig(std::vector<float>* limits)
{
    adjustSigFig4(limits->data(), limits->size());
}

void makeAxesEqual(std::vector<float>* limits, float widthPx, float heightPx)
{
    if (limits->size() < 4)
        return;
    makeAxesEqual4(limits->data(), widthPx, heightPx);
}

void widenZeroExtent(float* lo, float* hi)
{
    if (*lo != *hi)
        return;
    double v = *lo;
    double d = std::fabs(v) * 0.1;
    float a = saturate(v - d);
    float b = saturate(v + d);
    if (!(a < b)) {
        a = saturate(v - 1.0);
        b = saturate(v + 1.0);
    }
    *lo = a;
    *hi = b;
}

void autoscale(const std::vector<float>& m, bool round, bool equal, float widthPx, float heightPx,
               bool scaleX, bool scaleY, float limits[4])
{
    if (m.size() < 4)
        return;
    autoscaleExtremes({m[0], m[1], m[2], m[3]}, round, equal, widthPx, heightPx, scaleX, scaleY,
                      limits);
}

void autoscaleExtremes(std::array<float, 4> m, bool round, bool equal, float widthPx, float heightPx,
               bool scaleX, bool scaleY, float limits[4])
{
    bool xOk = finite2(m[0], m[1]) && m[0] <= m[1];
    bool yOk = finite2(m[2], m[3]) && m[2] <= m[3];
    if (round)
        adjustSigFig4(m.data(), m.size());
    if (xOk)
        widenZeroExtent(&m[0], &m[1]);
    if (yOk)
        widenZeroExtent(&m[2], &m[3]);
    if (equal && xOk && yOk)
        makeAxesEqual4(m.data(), widthPx, heightPx);
    if (scaleX && xOk) {
        limits[0] = m[0];
        limits[1] = m[1];
    }
    if (scaleY && yOk) {
        limits[2] = m[2];
        limits[3] = m[3];
    }
}

std::array<float, 4> usableLimits(float xmin, float xmax, float ymin, float ymax)
{
    std::array<float, 4> l{xmin, xmax, ymin, ymax};
    for (int a = 0; a < 4; a += 2) {
        if (!finite2(l[a], l[a + 1])) {
            l[a] = -1.0f;
            l[a + 1] = 1.0f;
        }
        widenZeroExtent(&l[a], &l[a + 1]);
    }
    return l;
}

glm::mat4 scale2AxesLimits(float xmin, float xmax, float ymin, float ymax)
{
    float cx = static_cast<float>(static_cast<double>(xmin + xmax) / static_cast<double>(xmax - xmin));
    float cy = static_cast<float>(static_cast<double>(ymin + ymax) / static_cast<double>(ymax - ymin));
    float sx = 2.0f / (xmax - xmin);
    float sy = 2.0f / (ymax - ymin);
    if (!std::isfinite(cx) || !std::isfinite(cy) || !(sx != 0.0f) || !(sy != 0.0f)) {
        // Limits near the largest float overflow single-precision sums.
        double x0 = xmin, x1 = xmax, y0 = ymin, y1 = ymax;
        cx = static_cast<float>((x0 + x1) / (x1 - x0));
        cy = static_cast<float>((y0 + y1) / (y1 - y0));
        sx = static_cast<float>(2.0 / (x1 - x0));
        sy = static_cast<float>(2.0 / (y1 - y0));
    }
    glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(-cx, -cy, 0.0f));
    return glm::scale(m, glm::vec3(sx, sy, 1.0f));
}

void tickLayout(int n, float majorTickSizeW, float majorTickSizeH, std::vector<float>& tickVerts)
{
    tickVerts.clear();
    if (n < 2)
        return;
    float step = static_cast<float>(2.0 / (n - 1));
    float ly = static_cast<float>(2.0 / (1.0 - static_cast<double>(majorTickSizeH)) - 2.0);
    float lx = static_cast<float>(2.0 / (1.0 - static_cast<double>(majorTickSizeW)) - 2.0);
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) * step - 1.0f;
        tickVerts.insert(tickVerts.end(), {t, -1.0f, t, -1.0f - ly});
    }
    for (int j = 0; j < n; ++j) {
        float t = static_cast<float>(j) * step - 1.0f;
        tickVerts.insert(tickVerts.end(), {-1.0f, t, -1.0f - lx, t});
    }
}

float tickValue(float lo, float hi, int i, int n)
{
    float span = (hi - lo) * static_cast<float>(i);
    return static_cast<float>(static_cast<double>(lo) + static_cast<double>(span) / (n - 1));
}

int labelDecimals(float lo, float hi, int n)
{
    const int mostDecimals = 6;
    if (n < 2)
        return 1;
    const double step = std::fabs((static_cast<double>(hi) - lo) / (n - 1));
    if (!(step > 0.0) || !std::isfinite(step))
        return 1;
    for (int d = 1; d < mostDecimals; ++d) {
        const double p = powerOfTen(d);
        bool close = true;
        for (int i = 0; i < n && close; ++i) {
            const double v = tickValue(lo, hi, i, n);
            close = std::fabs(std::round(v * p) / p - v) <= step / 50.0;
        }
        if (close)
            return d;
    }
    return mostDecimals;
}

std::string tickLabel(float value, int decimals)
{
    decimals = std::clamp(decimals, 0, 9);
    double v = value;
    const double p = powerOfTen(decimals);
    // Rounded here, so that the C library never meets a tie it might round
    // either way; beyond 2^53 a double has no decimals to round.
    if (std::fabs(v) * p < 9.0e15) {
        v = std::round(v * p) / p;
        if (v == 0.0)
            v = 0.0;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, v);
    return text;
}

double niceStep(float lo, float hi, int target)
{
    const double span = static_cast<double>(hi) - static_cast<double>(lo);
    if (!(span > 0.0) || !std::isfinite(span) || target < 1)
        return 0.0;
    const double raw = span / target;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double factor = norm < 1.5 ? 1.0 : norm < 3.5 ? 2.0 : norm < 7.5 ? 5.0 : 10.0;
    return factor * magnitude;
}

void niceTicks(float lo, float hi, int target, std::vector<float>& values)
{
    values.clear();
    const double step = niceStep(lo, hi, target);
    if (step == 0.0)
        return;
    // Counted in whole steps, so that no sum of steps drifts off the round values.
    const double first = std::ceil(static_cast<double>(lo) / step - 1e-9);
    const double last = std::floor(static_cast<double>(hi) / step + 1e-9);
    for (double k = first; k <= last && values.size() < 64; k += 1.0) {
        const double v = k * step;
        values.push_back(v == 0.0 ? 0.0f : static_cast<float>(v));
    }
}

void niceLimits(float* lo, float* hi, int target)
{
    const double step = niceStep(*lo, *hi, target);
    if (step == 0.0)
        return;
    *lo = static_cast<float>(std::floor(static_cast<double>(*lo) / step + 1e-9) * step);
    *hi = static_cast<float>(std::ceil(static_cast<double>(*hi) / step - 1e-9) * step);
}

int stepDecimals(double step)
{
    if (!(step > 0.0) || !std::isfinite(step))
        return 0;
    const int decimals = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return std::clamp(decimals, 0, 6);
}

} // namespace AxesMaths

void Axes::updateAxesLimits(float xmin, float xmax, float ymin, float ymax, bool turnOffAutoScale)
{
    this->xmin = xmin;
    this->xmax = xmax;
    this->ymin = ymin;
    this->ymax = ymax;
    if (turnOffAutoScale) {
        autoScaleX = false;
        autoScaleY = false;
    }
}

void Axes::updateAxesLimits(std::vector<float> limits, bool turnOffAutoScale)
{
    if (limits.size() < 4)
        return;
    updateAxesLimits(limits[0], limits[1], limits[2], limits[3], turnOffAutoScale);
}

void Axes::updateXAxesLimits(float xmin, float xmax, bool turnOffAutoScale)
{
    this->xmin = xmin;
    this->xmax = xmax;
    if (turnOffAutoScale)
        autoScaleX = false;
}

void Axes::updateYAxesLimits(float ymin, float ymax, bool turnOffAutoScale)
{
    this->ymin = ymin;
    this->ymax = ymax;
    if (turnOffAutoScale)
        autoScaleY = false;
}

void Axes::setAutoScale(bool on)
{
    autoScaleX = on;
    autoScaleY = on;
}

void Axes::setAutoScaleRound(bool on)
{
    autoScaleRound = on;
}

void Axes::setEqualAxes(bool on)
{
    equalAxes = on;
    autoScaleX = true;
    autoScaleY = true;
}

void Axes::setMajorTickSize(float size)
{
    majorTickSizeW = size;
    majorTickSizeH = size;
}

void Axes::setMinorTickSize(float size)
{
    minorTickSizeW = size;
    minorTickSizeH = size;
}

std::vector<float> Axes::getAxesLimits() const
{
    return {xmin, xmax, ymin, ymax};
}

// The axes rectangle in window pixels: as Draw last laid it out, or before the
// first Draw the axes' own fractions of the window.
void Axes::pixelSize(float* widthPx, float* heightPx) const
{
    *widthPx = axesWidthPx > 0.0f ? axesWidthPx : width * static_cast<float>(window->getWidth());
    *heightPx = axesHeightPx > 0.0f ? axesHeightPx : height * static_cast<float>(window->getHeight());
}

// Limits from the plain line series, rounded and made equal as configured.
void Axes::updateAxesLimitsAutoscale()
{
    float limits[4] = {xmin, xmax, ymin, ymax};
    float widthPx = 0.0f, heightPx = 0.0f;
    pixelSize(&widthPx, &heightPx);
    AxesMaths::autoscaleExtremes(overallExtremes(), autoScaleRound, equalAxes, widthPx, heightPx,
                                 autoScaleX, autoScaleY, limits);
    xmin = limits[0];
    xmax = limits[1];
    ymin = limits[2];
    ymax = limits[3];
}

std::vector<float> Axes::getOverallMinMax()
{
    const std::array<float, 4> e = overallExtremes();
    return {e[0], e[1], e[2], e[3]};
}

// Extremes over the plain line series, without allocating: autoscaling runs every frame.
std::array<float, 4> Axes::overallExtremes()
{
    const float big = std::numeric_limits<float>::max();
    std::array<float, 4> m{big, -big, big, -big};
    for (const auto& line : lines)
        AxesMaths::compareMinMax(m, line->extremes());
    return m;
}

void Axes::compareMinMax(std::vector<float>* overall, std::vector<float> candidate)
{
    AxesMaths::compareMinMax(overall, candidate);
}

void Axes::adjustSigFig(std::vector<float>* limits)
{
    AxesMaths::adjustSigFig(limits);
}

void Axes::makeAxesEqual(std::vector<float>* limits)
{
    float widthPx = 0.0f, heightPx = 0.0f;
    pixelSize(&widthPx, &heightPx);
    AxesMaths::makeAxesEqual(limits, widthPx, heightPx);
}

glm::mat4 Axes::scale2AxesLimits()
{
    std::array<float, 4> l = shownLimits();
    return AxesMaths::scale2AxesLimits(l[0], l[1], l[2], l[3]);
}

std::array<float, 4> Axes::shownLimits() const
{
    return AxesMaths::usableLimits(xmin, xmax, ymin, ymax);
}

} // namespace Qvis
