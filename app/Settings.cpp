#include "Settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <toml++/toml.h>

#include "TomlText.h"
#include "UserFiles.h"

namespace {

// Settings are a few lines, or pages with long comments; no file written by
// hand comes near this.
const size_t kMaxSettingsBytes = 1024 * 1024;
// A position further out than this is a typing error, not a monitor.
const long long kMaxCoordinate = 1000000;
// Statements that toml++ refuses, passed over one by one in a file.
const int kMaxBadLines = 32;
// Places that are not TOML reported one by one; the rest are counted.
const size_t kMaxReportedLines = 8;

const OverlayKind kOverlays[] = {OverlayKind::Strip, OverlayKind::TrackMap, OverlayKind::VarPlot, OverlayKind::Delta};

// How long a program that ends waits for another one to finish its write.
const int kLockWaitMs = 3000;

// Writers of the settings file take this lock around reading, changing and
// replacing it.
std::string lockPathOf(const std::string& settingsPath)
{
    return settingsPath + ".lock";
}

std::string trimmed(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// "line 3: WHAT; the line is ignored", for the lines a problem leaves out.
std::string describe(const tomltext::Problem& problem, int firstLine, int lastLine)
{
    std::string line = "line " + std::to_string(problem.line) + ": " + problem.what;
    if (problem.toTheEnd)
        return line + "; the rest of the file is ignored";
    if (firstLine == lastLine)
        return line + "; the line is ignored";
    return line + "; lines " + std::to_string(firstLine) + " to " + std::to_string(lastLine) + " are ignored";
}

// The line (from 1) of a byte of the text.
int lineAt(const std::string& text, size_t pos)
{
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + std::min(pos, text.size()), '\n'));
}

// Reads the values of a parsed file over the defaults, one problem per key
// that holds something unusable.
class Interpreter {
public:
    Interpreter(UserSettings* out, std::vector<std::string>* problems) : out(out), problems(problems) {}

    void root(const toml::table& root)
    {
        for (const auto& [name, node] : root) {
            const std::string key(name.str());
            if (key == "locked")
                boolean(node, key, &out->locked);
            else if (key == "reference-laps")
                boolean(node, key, &out->referenceLaps);
            else if (key == "keys")
                forEach(node, key, [this](const std::string& k, const std::string& path, const toml::node& n) {
                    if (k == "show-hide")
                        string(n, path, &out->showHideKey);
                    else if (k == "lock")
                        string(n, path, &out->lockKey);
                    else
                        unknown(path);
                });
            else if (key == "buttons")
                forEach(node, key, [this](const std::string& k, const std::string& path, const toml::node& n) {
                    if (k == "show-hide")
                        button(n, path, &out->showHideButton);
                    else if (k == "lock")
                        button(n, path, &out->lockButton);
                    else
                        unknown(path);
                });
            else if (key == "share")
                forEach(node, key, [this](const std::string& k, const std::string& path, const toml::node& n) {
                    ShareSettings& sh = out->share;
                    if (k == "enabled")
                        boolean(n, path, &sh.enabled);
                    else if (k == "url")
                        string(n, path, &sh.url);
                    else if (k == "username")
                        string(n, path, &sh.username);
                    else if (k == "password")
                        string(n, path, &sh.password);
                    else if (k == "ca-file")
                        string(n, path, &sh.caFile);
                    else if (k == "variables")
                        names(n, path, &sh.variables);
                    else
                        unknown(path);
                });
            else if (!overlay(key, node))
                unknown(key);
        }
    }

private:
    template <class Each>
    void forEach(const toml::node& node, const std::string& path, Each each)
    {
        const toml::table* table = node.as_table();
        if (!table) {
            bad(path, "a table");
            return;
        }
        for (const auto& [name, value] : *table) {
            const std::string key(name.str());
            each(key, path + "." + key, value);
        }
    }

    bool overlay(const std::string& table, const toml::node& node)
    {
        for (OverlayKind kind : kOverlays) {
            if (table != tableName(kind))
                continue;
            OverlaySettings& o = out->overlay(kind);
            forEach(node, table, [&](const std::string& k, const std::string& path, const toml::node& n) {
                if (k == "enabled")
                    boolean(n, path, &o.enabled);
                else if (k == "position")
                    position(n, path, &o);
                else if (k == "scale")
                    scale(n, path, &o);
                else if (k == "opacity")
                    number(n, path, 0.0, 1.0, "a number from 0 to 1", &o.opacity);
                else if (kind == OverlayKind::VarPlot && k == "variables")
                    out->hasVariables = names(n, path, &out->variables) || out->hasVariables;
                else if (kind == OverlayKind::VarPlot && k == "lanes")
                    boolean(n, path, &out->varplotLanes);
                else
                    unknown(path);
            });
            return true;
        }
        return false;
    }

    void boolean(const toml::node& node, const std::string& path, bool* value)
    {
        if (auto v = node.value_exact<bool>())
            *value = *v;
        else
            bad(path, "true or false");
    }

    void string(const toml::node& node, const std::string& path, std::string* value)
    {
        if (auto v = node.value_exact<std::string>())
            *value = *v;
        else
            bad(path, "a text in quotes");
    }

    void number(const toml::node& node, const std::string& path, double low, double high, const char* what,
                float* value)
    {
        const std::optional<double> v = node.is_number() ? node.value<double>() : std::nullopt;
        if (v && *v >= low && *v <= high)
            *value = static_cast<float>(*v);
        else
            bad(path, what);
    }

    void scale(const toml::node& node, const std::string& path, OverlaySettings* o)
    {
        if (node.value_exact<std::string>() == std::optional<std::string>("auto")) {
            o->autoScale = true;
            return;
        }
        const char* what = "a number from 0.5 to 4, or \"auto\"";
        float scale = o->scale;
        number(node, path, 0.5, 4.0, what, &scale);
        o->scale = scale;
        o->autoScale = false;
    }

    void position(const toml::node& node, const std::string& path, OverlaySettings* o)
    {
        const toml::array* a = node.as_array();
        std::optional<int64_t> x, y;
        if (a && a->size() == 2) {
            x = (*a)[0].value_exact<int64_t>();
            y = (*a)[1].value_exact<int64_t>();
        }
        const auto near = [](const std::optional<int64_t>& v) { return v && *v >= -kMaxCoordinate && *v <= kMaxCoordinate; };
        if (!near(x) || !near(y)) {
            bad(path, "a position [x, y] in whole screen units");
            return;
        }
        o->hasPosition = true;
        o->x = static_cast<int>(*x);
        o->y = static_cast<int>(*y);
    }

    bool names(const toml::node& node, const std::string& path, std::vector<std::string>* out)
    {
        const toml::array* a = node.as_array();
        std::vector<std::string> list;
        for (size_t i = 0; a && i < a->size(); ++i) {
            auto name = (*a)[i].value_exact<std::string>();
            if (!name)
                break;
            list.push_back(*name);
        }
        if (!a || list.size() != a->size()) {
            bad(path, "a list of variable names in quotes");
            return false;
        }
        *out = std::move(list);
        return true;
    }

    void button(const toml::node& node, const std::string& path, ButtonBinding* binding)
    {
        const toml::table* t = node.as_table();
        const auto device = t ? (*t)["device"].value_exact<std::string>() : std::nullopt;
        const auto index = t ? (*t)["button"].value_exact<int64_t>() : std::nullopt;
        if (!device || device->empty() || !index || *index < 0 || *index > 255 || t->size() != 2) {
            bad(path, "{ device = \"NAME or GUID\", button = N } with N from 0 to 255");
            return;
        }
        binding->device = *device;
        binding->button = static_cast<int>(*index);
    }

    void bad(const std::string& path, const char* what)
    {
        problems->push_back(path + " is not " + what + "; using the default");
    }

    void unknown(const std::string& path) { problems->push_back(path + " is not a setting; ignored"); }

    UserSettings* out;
    std::vector<std::string>* problems;
};

// "X,Y" of the old settings file.
bool legacyPosition(const std::string& text, long long* x, long long* y)
{
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    char* end = nullptr;
    const std::string first = trimmed(text.substr(0, comma));
    const std::string second = trimmed(text.substr(comma + 1));
    *x = std::strtoll(first.c_str(), &end, 10);
    if (first.empty() || *end)
        return false;
    *y = std::strtoll(second.c_str(), &end, 10);
    return !second.empty() && !*end && *x >= -kMaxCoordinate && *x <= kMaxCoordinate &&
           *y >= -kMaxCoordinate && *y <= kMaxCoordinate;
}

} // namespace

const char* tableName(OverlayKind kind)
{
    switch (kind) {
    case OverlayKind::Strip:
        return "strip";
    case OverlayKind::TrackMap:
        return "trackmap";
    case OverlayKind::VarPlot:
        return "varplot";
    case OverlayKind::Delta:
        return "delta";
    }
    return "";
}

OverlaySettings& UserSettings::overlay(OverlayKind kind)
{
    return const_cast<OverlaySettings&>(static_cast<const UserSettings*>(this)->overlay(kind));
}

const OverlaySettings& UserSettings::overlay(OverlayKind kind) const
{
    switch (kind) {
    case OverlayKind::TrackMap:
        return trackmap;
    case OverlayKind::VarPlot:
        return varplot;
    case OverlayKind::Delta:
        return delta;
    case OverlayKind::Strip:
        break;
    }
    return strip;
}

namespace settings {

// What is not TOML is reported and read as if it were empty, so that one
// typing error costs only its own lines; then what toml++ refuses of the
// rest (a key given twice) likewise, a statement (or a table) at a time.
bool read(const std::string& text, UserSettings* out, std::vector<std::string>* problems)
{
    const tomltext::Document doc = tomltext::scan(text);
    size_t reported = 0;
    for (const tomltext::Problem& problem : doc.problems) {
        if (++reported > kMaxReportedLines)
            continue;
        const int last = lineAt(text, problem.ignored.end > 0 ? problem.ignored.end - 1 : 0);
        problems->push_back(describe(problem, lineAt(text, problem.ignored.begin), last));
    }
    if (reported > kMaxReportedLines)
        problems->push_back(std::to_string(reported - kMaxReportedLines) + " more places that are not TOML are ignored");
    std::vector<tomltext::Span> refused;
    for (int bad = 0; bad <= kMaxBadLines; ++bad) {
        toml::parse_result parsed = tomltext::parse(text, doc, refused);
        if (parsed) {
            Interpreter(out, problems).root(parsed.table());
            return doc.problems.empty() && refused.empty();
        }
        const toml::parse_error& error = parsed.error();
        const tomltext::Statement* statement = doc.statementAt(static_cast<int>(error.source().begin.line));
        if (!statement)
            break;
        const tomltext::Span extent = doc.extentOf(*statement);
        tomltext::Problem problem;
        problem.line = static_cast<int>(error.source().begin.line);
        problem.what = std::string(error.description());
        problems->push_back(describe(problem, statement->line, lineAt(text, extent.end - 1)));
        refused.push_back(extent);
    }
    problems->push_back("too many problems; using the default settings");
    *out = UserSettings();
    return false;
}

std::string templateText()
{
    return R"(# Settings of the telemetry overlays. Lines that begin with # are comments;
# a key that is missing keeps its default.

# Locked overlays let the mouse through to the window below and cannot be
# dragged; the lock key switches it.
locked = false
# Keep the best lap per track and car for the next live run.
reference-laps = true

# The throttle/brake strip. position = [x, y] is where it opens: the
# programs write it when they end.
[strip]
enabled = true
scale = 1       # 0.5 to 4, or "auto" to follow the monitor
opacity = 1     # of the background, from 0 (clear) to 1

# The track map.
[trackmap]
enabled = false
scale = 1
opacity = 1

# The variable plot: NAME or NAME@TYPE, TYPE one of int, float, double.
[varplot]
enabled = false
scale = 1
opacity = 1
variables = ["Throttle", "Brake", "Gear@int"]
lanes = false   # true: each variable in a lane of its own, with its own scale

# The delta: the time against the reference lap at this point of the lap.
[delta]
enabled = false
scale = 1
opacity = 1

# Keys that work while another window, such as the simulator, has the
# keyboard: Ctrl, Shift, Alt or Super joined with + to a key.
[keys]
show-hide = "Ctrl+Shift+F1"
lock = "Ctrl+Shift+F2"

# Buttons of a wheel or another game controller for the same two actions:
# the device by its name or GUID (telemetry-overlay --help lists the
# connected ones) and the button by its index from 0.
[buttons]
# show-hide = { device = "My Wheel", button = 4 }
# lock = { device = "My Wheel", button = 5 }

# Share the telemetry through an MQTT broker while telemetry-overlay runs, so
# that a team-mate sees the same overlays with "telemetry-overlay URL". The
# user name, password and CA file are also those used to view from a broker.
# With a password in it, this file is kept readable by you only.
[share]
enabled = false
# url = "mqtt://broker.example.org/team/car1"   # or mqtts:// for TLS
# username = "driver"
# password = "..."
# ca-file = "/path/to/ca.pem"   # for mqtts://; else the system's certificates
# Only these variables, e.g. what the three overlays need:
# variables = ["SessionTime", "Throttle", "Brake", "LapDistPct", "Lap", "LapLastLapTime",
#              "IsOnTrack", "VelocityX", "VelocityY", "VelocityZ", "YawNorth", "Gear"]
)";
}

std::string fromLegacy(const std::string& conf)
{
    struct Old {
        const char* key;
        OverlayKind kind;
    };
    const Old positions[] = {{"overlay.position", OverlayKind::Strip},
                             {"overlay-trackmap.position", OverlayKind::TrackMap},
                             {"overlay-varplot.position", OverlayKind::VarPlot}};
    std::vector<Edit> edits;
    std::istringstream lines(conf);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || trimmed(line).rfind('#', 0) == 0)
            continue;
        const std::string key = trimmed(line.substr(0, eq));
        const std::string value = trimmed(line.substr(eq + 1));
        long long x = 0, y = 0;
        for (const Old& old : positions)
            if (key == old.key && legacyPosition(value, &x, &y))
                edits.push_back(positionEdit(old.kind, static_cast<int>(x), static_cast<int>(y)));
        if (key == "reference-laps" && (value == "on" || value == "off"))
            edits.push_back(boolEdit("", "reference-laps", value == "on"));
    }
    std::string text = templateText(), why;
    applyEdits(&text, edits, &why);
    return text;
}

} // namespace settings

std::string ProgramSettings::filePath(std::string* error)
{
    const std::string folder = userfiles::configFolder(error);
    return folder.empty() ? folder : folder + "/settings.toml";
}

ProgramSettings::ProgramSettings(const char* program) : name(program)
{
    std::string error;
    const std::string path = filePath(&error);
    if (path.empty()) {
        report(error + "; using the default settings");
        return;
    }
    userfiles::removeStaleTemporaries(path, lockPathOf(path));
    std::string text;
    switch (userfiles::readFile(path, kMaxSettingsBytes, &text, &error)) {
    case userfiles::ReadStatus::Missing: {
        // The first start of this version carries the old file over, once.
        const std::string legacy = path.substr(0, path.size() - 4) + "conf";
        std::string old;
        const userfiles::ReadStatus legacyRead = userfiles::readFile(legacy, kMaxSettingsBytes, &old, &error);
        if (legacyRead == userfiles::ReadStatus::Failed)
            report(error + "; its settings are not carried over");
        if (legacyRead != userfiles::ReadStatus::Ok) {
            firstStart = true;
            return;
        }
        text = settings::fromLegacy(old);
        const userfiles::FileLock lock(lockPathOf(path), kLockWaitMs);
        if (lock.held() && userfiles::writeFileAtomically(path, text, &error))
            report("settings carried over from " + legacy + " to " + path);
        else
            report((lock.held() ? error : lock.error()) + "; the settings of " + legacy + " hold for this run");
        break;
    }
    case userfiles::ReadStatus::Failed:
        report(error + "; using the default settings");
        return;
    case userfiles::ReadStatus::Ok:
        break;
    }
    std::vector<std::string> problems;
    settings::read(text, &settings, &problems);
    for (const std::string& problem : problems)
        report("settings file " + path + ": " + problem);
    // A password is for the user's eyes only; the file keeps these
    // permissions when the programs write it again.
    bool narrowed = false;
    if (!settings.share.password.empty() && !userfiles::restrictToOwner(path, &narrowed, &error))
        report(error + "; it holds a password");
    else if (narrowed)
        report("settings file " + path + " holds a password: made readable by you only");
}

void ProgramSettings::reportBadValue(const std::string& key, const std::string& what)
{
    std::string error;
    report("settings file " + filePath(&error) + ": " + key + " is not " + what + "; using the default");
}

// Not when another program wrote one meanwhile. Failing costs nothing but
// the file: the defaults hold.
void ProgramSettings::writeFirstStartFile()
{
    if (!firstStart)
        return;
    firstStart = false;
    std::string error, text;
    const std::string path = filePath(&error);
    const userfiles::FileLock lock(lockPathOf(path), kLockWaitMs);
    if (!lock.held() || userfiles::readFile(path, kMaxSettingsBytes, &text, &error) != userfiles::ReadStatus::Missing)
        return;
    if (!userfiles::writeFileAtomically(path, settings::templateText(), &error))
        report(error + "; using the default settings");
}

void ProgramSettings::store(const std::vector<settings::Edit>& edits, const std::string& what)
{
    std::string error;
    const std::string path = filePath(&error);
    if (path.empty()) {
        report(error + "; not saved: " + what);
        return;
    }
    // Programs that end together write one after the other, each over what
    // the one before wrote.
    const userfiles::FileLock lock(lockPathOf(path), kLockWaitMs);
    if (!lock.held()) {
        report(lock.error() + "; not saved: " + what);
        return;
    }
    std::string text;
    const userfiles::ReadStatus read = userfiles::readFile(path, kMaxSettingsBytes, &text, &error);
    // A file that cannot be read or parsed is not written over: it may hold
    // more than this program knows.
    if (read == userfiles::ReadStatus::Failed) {
        report(error + "; not saved: " + what);
        return;
    }
    if (read == userfiles::ReadStatus::Missing)
        text = settings::templateText();
    UserSettings current;
    std::vector<std::string> problems;
    if (!settings::read(text, &current, &problems)) {
        report("settings file " + path + " has lines that are not TOML; not saved: " + what);
        return;
    }
    std::string edited = text, why;
    if (!settings::applyEdits(&edited, edits, &why)) {
        report("settings file " + path + ": " + why + "; not saved: " + what);
        return;
    }
    if (edited == text && read == userfiles::ReadStatus::Ok)
        return;
    if (!userfiles::writeFileAtomically(path, edited, &error))
        report(error + "; not saved: " + what);
}

void ProgramSettings::report(const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", name, line.c_str());
}
