#include "ibt_compare.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Line2D2CircularVecs.h"
#include "ReferenceLaps.h"
#include "UserFiles.h"
#include "compare_layout.h"
#include "ibt_args.h"
#include "ibt_laps.h"
#include "irsdk_diskclient.h"
#include "offscreen_target.h"
#include "plot.h"
#include "shader.h"
#include "text_label.h"

namespace {

const char* const kHelp =
    "usage: ibt compare FILE [--lap N] [--against M | --reference | --with OTHER[:LAP]]\n"
    "                   [--out PICTURE.png] [--size WxH]\n"
    "Draws two laps on one picture and saves it as PNG: lanes stacked top to\n"
    "bottom along the lap (metres from the start line, or the fraction of the lap\n"
    "when the recording does not give the track's length): the running delta\n"
    "(s, positive where lap N is behind), speed (km/h), throttle (%), brake (%),\n"
    "gear and steering (degrees), lap N in blue and the other lap in orange.\n"
    "  --lap N        the lap of FILE to look at (default: its fastest)\n"
    "  --against M    against lap M of FILE (default: FILE's fastest other lap)\n"
    "  --reference    against the reference lap kept for FILE's track and car\n"
    "  --with OTHER[:LAP]  against a lap of another recording of the track\n"
    "                 (default: its fastest)\n"
    "  --out PICTURE  where to save it (default: compare.png)\n"
    "  --size WxH     its size in pixels (default: 1600x1000)\n"
    "Laps are those 'ibt laps' lists. A lane whose variable FILE lacks is left\n"
    "out, with one line on standard error; a kept reference lap gives what it\n"
    "holds (time and speed when it has its timing, throttle and brake).\n"
    "It needs no display: the picture is drawn off screen.\n";

// The lanes, top to bottom.
enum Channel { DELTA, SPEED, THROTTLE, BRAKE, GEAR, STEERING, CHANNELS };

struct LaneSpec {
    const char* name;
    const char* variable; // null: worked out from the laps' timing
    float scale;          // from the variable's unit to the lane's
};

const LaneSpec kLanes[CHANNELS] = {
    {"Delta (s)", nullptr, 1.0f},
    {"Speed (km/h)", "Speed", 3.6f},
    {"Throttle (%)", "Throttle", 100.0f},
    {"Brake (%)", "Brake", 100.0f},
    {"Gear", "Gear", 1.0f},
    {"Steering (deg)", "SteeringWheelAngle", static_cast<float>(180.0 / 3.14159265358979323846)},
};

// The two laps' colours, which readers who do not tell red from green tell
// apart: sky blue and orange.
const glm::vec3 kLapColour(0.34f, 0.71f, 0.91f);
const glm::vec3 kOtherColour(0.90f, 0.62f, 0.0f);
const glm::vec3 kText(1.0f, 1.0f, 1.0f);
const float kBackground = 0.11f;

int fail(const std::string& message)
{
    return ibtError("compare", message);
}

// A recording read for the picture: its key, track length, laps and, for
// every record, the lanes' variables.
struct Recording {
    std::string path;
    LapKey key;
    float trackMetres = 0.0f; // 0 when the session info does not give it
    std::vector<CompletedLap> laps;
    bool has[CHANNELS] = {};
    std::vector<float> values[CHANNELS];
};

// The track's length from "WeekendInfo:TrackLength:", as "1.42 km", "3200 m"
// or "2.6 mi"; 0 when it is none of those.
float trackLength(irsdkDiskClient& reader)
{
    char text[64] = "";
    if (reader.getSessionStrVal("WeekendInfo:TrackLength:", text, static_cast<int>(sizeof text) - 1) != 1)
        return 0.0f;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    std::string unit = end ? end : "";
    unit.erase(0, unit.find_first_not_of(' '));
    unit.erase(unit.find_last_not_of(" \r") + 1);
    const double metres = unit == "km" ? 1000.0 : unit == "m" ? 1.0 : unit == "mi" ? 1609.344 : 0.0;
    const double length = value * metres;
    return length > 0.0 && length < 1.0e6 ? static_cast<float>(length) : 0.0f;
}

bool readRecording(const std::string& path, Recording* r)
{
    r->path = path;
    irsdkDiskClient reader;
    if (!ibtOpenRecording(reader, path, "compare"))
        return false;
    r->key = lapKeyFromSession(
        [&reader](const char* p, char* val, int len) { return reader.getSessionStrVal(p, val, len); });
    r->trackMetres = trackLength(reader);
    int index[CHANNELS];
    for (int c = 0; c < CHANNELS; ++c) {
        index[c] = kLanes[c].variable ? reader.getVarIdx(kLanes[c].variable) : -1;
        r->has[c] = index[c] >= 0;
    }
    r->has[DELTA] = true;
    return ibtCompletedLaps(reader, path, "compare", &r->laps, [&](const irsdkDiskClient& record) {
        for (int c = 0; c < CHANNELS; ++c)
            if (index[c] >= 0)
                r->values[c].push_back(record.getVarFloat(index[c], 0));
    });
}

// A lap as the picture draws it: where its points lie along the lap, what
// each lane shows there, and its timing for the delta.
struct DrawnLap {
    std::string title;  // "lap 6" or "the reference lap"
    std::string source; // where it comes from, for the legend
    float time = 0.0f;  // its lap time for the title
    bool timed = false;
    float lineTime = 0.0f;
    std::vector<LapPoint> timing;
    std::vector<float> pct;
    bool has[CHANNELS] = {};
    std::vector<float> values[CHANNELS];
};

std::string fileName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

DrawnLap fromRecording(const Recording& r, const CompletedLap& lap)
{
    DrawnLap d;
    d.title = "lap " + std::to_string(lap.number);
    d.source = d.title + " of " + fileName(r.path);
    d.time = lap.lineTime;
    d.timed = true;
    d.lineTime = lap.lineTime;
    d.timing = lap.timing;
    for (const LapPoint& p : lap.timing)
        d.pct.push_back(p.pct);
    for (int c = SPEED; c < CHANNELS; ++c) {
        d.has[c] = r.has[c];
        if (d.has[c])
            for (size_t sample : lap.samples)
                d.values[c].push_back(r.values[c][sample] * kLanes[c].scale);
    }
    return d;
}

DrawnLap fromStored(const StoredLap& lap)
{
    DrawnLap d;
    d.title = "the reference lap";
    d.source = "the reference lap kept for " + lap.key.track + ", " + lap.key.car;
    d.timed = lap.timed;
    d.lineTime = lap.lineTime;
    d.time = lap.timed ? lap.lineTime : lap.lapTime;
    if (lap.timed)
        d.timing = lap.points;
    d.has[THROTTLE] = d.has[BRAKE] = true;
    d.has[SPEED] = lap.timed;
    for (const LapPoint& p : lap.points) {
        d.pct.push_back(p.pct);
        d.values[THROTTLE].push_back(p.throttle * kLanes[THROTTLE].scale);
        d.values[BRAKE].push_back(p.brake * kLanes[BRAKE].scale);
        if (lap.timed)
            d.values[SPEED].push_back(p.speed * kLanes[SPEED].scale);
    }
    return d;
}

// The running delta of `lap` against `other` at each of lap's points (the
// time into lap there minus other's time at the same fraction, by the
// overlay's rule), and other's own, which is zero throughout.
void fillDelta(DrawnLap& lap, DrawnLap& other)
{
    lap.has[DELTA] = other.has[DELTA] = lap.timed && other.timed;
    if (!lap.has[DELTA])
        return;
    LapCursor cursor;
    for (const LapPoint& p : lap.timing)
        lap.values[DELTA].push_back(p.time - cursor.timeAt(other.timing, other.lineTime, p.pct));
    other.values[DELTA].assign(other.pct.size(), 0.0f);
}

// The y limits of a lane from both laps' values: round values just outside
// them (the delta's always take in 0); throttle and brake always 0 to 100.
void laneLimits(int channel, const DrawnLap& a, const DrawnLap& b, float* lo, float* hi)
{
    if (channel == THROTTLE || channel == BRAKE) {
        *lo = 0.0f;
        *hi = 100.0f;
        return;
    }
    *lo = std::numeric_limits<float>::max();
    *hi = -std::numeric_limits<float>::max();
    for (const DrawnLap* lap : {&a, &b})
        if (lap->has[channel])
            for (float v : lap->values[channel])
                if (std::isfinite(v)) {
                    *lo = std::min(*lo, v);
                    *hi = std::max(*hi, v);
                }
    if (*lo > *hi)
        *lo = *hi = 0.0f;
    if (channel == DELTA) {
        *lo = std::min(*lo, 0.0f);
        *hi = std::max(*hi, 0.0f);
    } else if (channel == GEAR) {
        // Whole gears, none on an edge.
        *lo -= 0.5f;
        *hi += 0.5f;
    }
    // A flat lane (a lap against itself) spans a unit around its value; the
    // delta counts as flat within a millisecond.
    const float flat = channel == DELTA ? 0.001f : 0.0f;
    if (*hi - *lo <= flat) {
        const float middle = channel == DELTA ? 0.0f : (*lo + *hi) / 2.0f;
        *lo = middle - 1.0f;
        *hi = middle + 1.0f;
    }
    Qvis::AxesMaths::niceLimits(lo, hi, 4);
}

// Draws the picture off screen and returns it as PNG bytes; empty, with
// *error set, when it cannot be drawn.
std::string drawPicture(const std::string& title, float metres, const std::vector<int>& lanes, const DrawnLap& a,
                        const DrawnLap& b, int width, int height, std::string* error)
{
    namespace layout = compare_layout;
    const float scale = std::clamp(std::min(width / 1600.0f, height / 1000.0f), 0.5f, 4.0f);
    Qvis::OffscreenTarget target(width, height, scale);
    if (!target.ok()) {
        *error = "cannot draw off screen: " + target.error();
        return {};
    }
    target.begin(kBackground, kBackground, kBackground);
    // The plots draw into the target; their references to it own nothing.
    std::shared_ptr<Qvis::IWindow> picture(std::shared_ptr<Qvis::IWindow>(), &target);
    const float length = metres > 0.0f ? metres : 1.0f;

    // The frame: the title, the legend and the distance's name, over no axes.
    std::vector<std::shared_ptr<Qvis::Plot>> plots;
    plots.push_back(std::make_shared<Qvis::Plot>(0.0f, 0.0f, 1.0f, 1.0f, picture));
    Qvis::Plot& frame = *plots.back();
    frame.setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> frameAxes = frame.getAxes();
    frameAxes->setAxesLabelsOn(false);
    frameAxes->setAxesAreaOutlineOn(false);
    frameAxes->setXYAxesOn(false);
    frameAxes->setMajorTickSize(0.0f);
    frameAxes->setAutoScale(false);
    auto text = [&](float x, float y, float size, glm::vec3 colour, const std::string& line,
                    Qvis::TextLabel::Align align = Qvis::TextLabel::Align::Left) {
        auto label = std::make_shared<Qvis::TextLabel>(x, y, size, colour, align);
        label->setText(line);
        frame.addText(label);
    };
    text(layout::kLeft, 1.0f - 0.4f * layout::kTitle, 22.0f, kText, title);
    text(layout::kLeft, 1.0f - 0.8f * layout::kTitle, 18.0f, kLapColour, a.source);
    text(0.5f, 1.0f - 0.8f * layout::kTitle, 18.0f, kOtherColour, b.source);
    text(layout::kLeft + (1.0f - layout::kLeft - layout::kRight) / 2.0f, 0.3f * layout::kBottom, 16.0f, kText,
         metres > 0.0f ? "Distance from the start line (m)" : "Fraction of the lap", Qvis::TextLabel::Align::Centre);

    // The series read these; a deque keeps their addresses as it grows.
    std::deque<std::vector<float>> data;
    const int n = static_cast<int>(lanes.size());
    for (int i = 0; i < n; ++i) {
        const int c = lanes[static_cast<size_t>(i)];
        const layout::Band band = layout::lane(i, n);
        const layout::Band axesBand = layout::laneAxes(i, n);
        const float h = band.top - band.bottom;
        plots.push_back(std::make_shared<Qvis::Plot>(0.0f, band.bottom, 1.0f, h, picture));
        Qvis::Plot& plot = *plots.back();
        plot.setPlotOutlineOn(false);
        std::shared_ptr<Qvis::Axes> axes = plot.getAxes();
        axes->setPositionSize(layout::kLeft, (axesBand.bottom - band.bottom) / h,
                              1.0f - layout::kLeft - layout::kRight, (axesBand.top - axesBand.bottom) / h);
        axes->setMajorTickSize(0.0f);
        axes->setMinorTickSize(0.0f);
        axes->setNiceTicks(true);
        axes->setXTickLabelsOn(i == n - 1);
        axes->setFontScaling(0.3f);
        float lo = 0.0f, hi = 0.0f;
        laneLimits(c, a, b, &lo, &hi);
        axes->updateAxesLimits(0.0f, length, lo, hi, true);
        // The other lap first and wider, so that lap N lies over it and where
        // they agree the other shows along both of its edges.
        for (const DrawnLap* lap : {&b, &a}) {
            if (!lap->has[c])
                continue;
            std::vector<float>& x = data.emplace_back();
            for (float p : lap->pct)
                x.push_back(p * length);
            std::vector<float>& y = data.emplace_back(lap->values[c]);
            auto line = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(&x, &y);
            line->setLineWidth(lap == &a ? 2 : 4);
            line->setLineColour(lap == &a ? kLapColour : kOtherColour);
            plot.addLine(line);
        }
        auto name = std::make_shared<Qvis::TextLabel>(layout::kLeft, 1.0f - 0.75f * layout::kLaneName, 16.0f, kText,
                                                      Qvis::TextLabel::Align::Left);
        name->setText(kLanes[c].name);
        plot.addText(name);
    }
    for (const auto& plot : plots)
        plot->Draw();
    std::string png = target.png();
    if (png.empty())
        *error = "cannot encode the picture as PNG";
    return png;
}

// "1600x1000" into two sides of 64 to OffscreenTarget::kMaxSide pixels.
bool parseSize(const std::string& text, int* width, int* height)
{
    const size_t x = text.find('x');
    long long w = 0, h = 0;
    if (x == std::string::npos ||
        !ibtParseWhole(text.substr(0, x).c_str(), 64, Qvis::OffscreenTarget::kMaxSide, w) ||
        !ibtParseWhole(text.substr(x + 1).c_str(), 64, Qvis::OffscreenTarget::kMaxSide, h))
        return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

// The lap with this number, or one line saying there is none.
const CompletedLap* lapOf(const Recording& r, long long number)
{
    const CompletedLap* lap = number <= INT_MAX ? ibtFindLap(r.laps, static_cast<int>(number)) : nullptr;
    if (!lap)
        fail("lap " + std::to_string(number) + " is not a completed lap of " + r.path + " (see ibt laps " + r.path +
             ")");
    return lap;
}

std::string signedSeconds(float s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.3f s", static_cast<double>(s));
    return text;
}

} // namespace

int ibtCompare(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kHelp);
    std::string path, other, out = "compare.png";
    long long lapNumber = -1, againstNumber = -1;
    bool reference = false;
    int width = 1600, height = 1000;
    int others = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--lap" || arg == "--against") {
            long long& n = arg == "--lap" ? lapNumber : againstNumber;
            if (!ibtParseWhole(value, 0, INT_MAX, n))
                return fail(arg + " needs a lap number (see ibt laps)");
            others += arg == "--against";
            ++i;
        } else if (arg == "--reference") {
            reference = true;
            ++others;
        } else if (arg == "--with") {
            if (!value)
                return fail("--with needs a recording");
            other = value;
            ++others;
            ++i;
        } else if (arg == "--out") {
            if (!value || !*value)
                return fail("--out needs a file name");
            out = value;
            ++i;
        } else if (arg == "--size") {
            if (!value || !parseSize(value, &width, &height))
                return fail("--size needs WIDTHxHEIGHT, each from 64 to " +
                            std::to_string(Qvis::OffscreenTarget::kMaxSide) + " pixels");
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option " + arg);
        } else if (path.empty()) {
            path = arg;
        } else {
            return fail("more than one FILE given (see ibt compare --help)");
        }
    }
    if (path.empty())
        return fail("expected FILE (see ibt compare --help)");
    if (others > 1)
        return fail("name one lap to compare with: --against, --reference or --with");
    // The picture's folder must be there: nothing is created for it.
    const std::filesystem::path outFolder = std::filesystem::u8path(out).parent_path();
    std::error_code ec;
    if (!outFolder.empty() && !std::filesystem::is_directory(outFolder, ec))
        return fail("cannot write " + out + ": no folder " + outFolder.u8string());

    Recording recording;
    if (!readRecording(path, &recording))
        return 2;
    const CompletedLap* lap = lapNumber >= 0 ? lapOf(recording, lapNumber) : &recording.laps[ibtFastestLap(recording.laps)];
    if (!lap)
        return 2;
    DrawnLap a = fromRecording(recording, *lap);
    DrawnLap b;
    Recording second;
    if (reference) {
        std::string error;
        const std::string folder = LapStore::defaultFolder(&error);
        StoredLap stored;
        if (folder.empty())
            return fail(error);
        if (!recording.key.known())
            return fail(path + " names no track and car in its session info");
        switch (LapStore(folder).load(recording.key, &stored, &error)) {
        case LapStore::LoadStatus::Missing:
            return fail("no reference lap kept for " + recording.key.track + ", " + recording.key.car);
        case LapStore::LoadStatus::Bad:
            return fail(error);
        case LapStore::LoadStatus::Ok:
            break;
        }
        b = fromStored(stored);
    } else if (!other.empty()) {
        // OTHER or OTHER:LAP; a colon that is not followed by digits belongs to the name.
        long long otherLap = -1;
        const size_t colon = other.find_last_of(':');
        if (colon != std::string::npos && colon + 1 < other.size() &&
            ibtParseWhole(other.c_str() + colon + 1, 0, INT_MAX, otherLap))
            other.erase(colon);
        if (!readRecording(other, &second))
            return 2;
        if (second.key.track != recording.key.track)
            return fail(other + " is a recording of " + (second.key.track.empty() ? "no named track" : second.key.track) +
                        ", not of " + (recording.key.track.empty() ? "no named track" : recording.key.track));
        const CompletedLap* otherOne =
            otherLap >= 0 ? lapOf(second, otherLap) : &second.laps[ibtFastestLap(second.laps)];
        if (!otherOne)
            return 2;
        b = fromRecording(second, *otherOne);
    } else {
        const CompletedLap* against = nullptr;
        if (againstNumber >= 0) {
            against = lapOf(recording, againstNumber);
        } else {
            for (const CompletedLap& candidate : recording.laps)
                if (&candidate != lap && (!against || candidate.lineTime < against->lineTime))
                    against = &candidate;
            if (!against)
                fail(path + " has no other completed lap than lap " + std::to_string(lap->number) +
                     "; name one with --against, --reference or --with");
        }
        if (!against)
            return 2;
        b = fromRecording(recording, *against);
    }
    fillDelta(a, b);

    std::vector<int> lanes;
    for (int c = 0; c < CHANNELS; ++c) {
        if (a.has[c]) {
            lanes.push_back(c);
        } else if (c == DELTA) {
            std::fprintf(stderr, "ibt: compare: %s has no timing (it was kept by an older version); the delta lane "
                                 "is left out\n", b.source.c_str());
        } else {
            std::fprintf(stderr, "ibt: compare: %s has no %s; its lane is left out\n", path.c_str(),
                         kLanes[c].variable);
        }
    }
    const std::string shaders = Qvis::unreadableShaderSource();
    if (!shaders.empty())
        return fail("cannot build the shader programs: " + shaders);

    const std::string title = (recording.key.known() ? recording.key.track + ", " + recording.key.car + ": " : std::string()) +
                              a.title + " in " + formatLapTime(a.time) + " against " + b.title + " in " +
                              formatLapTime(b.time) + ": " + signedSeconds(a.time - b.time);
    std::string error;
    const std::string png = drawPicture(title, recording.trackMetres, lanes, a, b, width, height, &error);
    if (png.empty())
        return fail(error);
    if (!userfiles::writeFileAtomically(out, png, &error))
        return fail("cannot write " + out + ": " + error);
    std::printf("wrote %s: %s against %s, %d x %d\n", out.c_str(), a.source.c_str(), b.source.c_str(), width,
                height);
    return 0;
}
