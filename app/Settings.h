// The user's settings: settings.toml in the user's configuration folder, with
// the lock state at the top, one table per overlay, and the keys and buttons
// that switch the overlays. A bad line or value costs only itself: every
// good value still holds. Written back, only the values that changed are
// edited in the text, so that comments, order and keys this version does not
// know stay as the person wrote them.
#pragma once

#include <string>
#include <vector>

#include "SettingsEditor.h"

// The overlays, by the name of their table.
enum class OverlayKind { Strip, TrackMap, VarPlot, Delta };
const char* tableName(OverlayKind kind);

// One overlay's table.
struct OverlaySettings {
    bool enabled = false;
    bool hasPosition = false;
    int x = 0;
    int y = 0;
    bool autoScale = false; // scale = "auto": the monitor's content scale
    float scale = 1.0f;     // 0.5 to 4
    float opacity = 1.0f;   // 0 to 1, multiplies the background's alpha
};

// A game controller's button bound to an action: the device by its name or
// its GUID, and the button by its index from 0. Unbound without a device.
struct ButtonBinding {
    std::string device;
    int button = -1;
    bool bound() const { return !device.empty() && button >= 0; }
};

// Sharing the telemetry through an MQTT broker while telemetry-overlay runs,
// and the login that viewing from a broker uses too.
struct ShareSettings {
    bool enabled = false;
    std::string url; // mqtt://HOST[:PORT]/TOPIC or mqtts://...
    std::string username;
    std::string password; // never printed
    std::string caFile;
    std::vector<std::string> variables; // empty: every variable
};

struct UserSettings {
    UserSettings() { strip.enabled = true; }

    bool locked = false;
    bool referenceLaps = true;
    OverlaySettings strip;
    OverlaySettings trackmap;
    OverlaySettings varplot;
    OverlaySettings delta;
    bool hasVariables = false;
    std::vector<std::string> variables; // NAME[@TYPE] for the variable plot
    std::string showHideKey = "Ctrl+Shift+F1";
    std::string lockKey = "Ctrl+Shift+F2";
    ButtonBinding showHideButton;
    ButtonBinding lockButton;
    ShareSettings share;

    OverlaySettings& overlay(OverlayKind kind);
    const OverlaySettings& overlay(OverlayKind kind) const;
};

namespace settings {

// Reads the text of a settings file over the defaults in *out. Each problem
// is one sentence in *problems that names the line or the key ("line 3:
// ...", "strip.scale is not ..."); the rest of the file still counts. False
// when a line is not TOML at all: such a file is never written over.
bool read(const std::string& text, UserSettings* out, std::vector<std::string>* problems);

// The file a first start writes: every key, with its default and a comment.
std::string templateText();

// A settings file carrying over what an old "key = value" settings.conf
// held: the window positions and whether reference laps are kept.
std::string fromLegacy(const std::string& conf);

} // namespace settings

// The settings of one program run, read once at start: from settings.toml,
// or carried over from settings.conf the first time there is no
// settings.toml. Problems go to standard error, one line each, prefixed with
// the program's name and naming the file, and never stop the program.
class ProgramSettings {
public:
    explicit ProgramSettings(const char* program);

    // The settings file in the user's configuration folder; empty, with
    // *error set, when there is no such folder.
    static std::string filePath(std::string* error);

    const char* program() const { return name; }
    const UserSettings& values() const { return settings; }

    // Reports a value the program cannot use, naming the key and the file.
    void reportBadValue(const std::string& key, const std::string& what);

    // Writes values back: the file is read again, so that what other
    // programs wrote since the start is kept, edited, and replaced
    // atomically. A file that cannot be read or holds lines that are not
    // TOML is left as it is. A failure is one line on standard error that
    // says `what` (e.g. "the window position") was not saved.
    void store(const std::vector<settings::Edit>& edits, const std::string& what = "the window position");

    // At a first start, when no settings file was found, writes one with
    // every key at its default and its comment, so that the user finds it at
    // once where the usage text says. Programs call it once they run; the
    // usage text only reads.
    void writeFirstStartFile();

private:
    void report(const std::string& line);

    const char* name;
    UserSettings settings;
    bool firstStart = false;
};
