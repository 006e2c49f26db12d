// The telemetry-overlay program: the overlays the user chose in the settings,
// each in its own window, fed from one telemetry source in one loop, with
// keys and controller buttons that hide, show, lock and unlock them all while
// another window, the simulator's, has the keyboard.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BrokerUrl.h"
#include "ControllerButtons.h"
#include "GlobalKeys.h"
#include "MainLoop.h"
#include "OverlayBuilder.h"
#include "ProgramOutput.h"
#include "SingleCopy.h"
#include "TelemetrySharer.h"
#include "WindowPlacement.h"
#include "shader.h"

namespace {

const char* const kProgram = "telemetry-overlay";

enum Action { kShowHide, kLock };

const OverlayKind kKinds[] = {OverlayKind::Strip, OverlayKind::Delta, OverlayKind::TrackMap, OverlayKind::VarPlot};

// Window titles by what they show.
const char* title(OverlayKind kind)
{
    switch (kind) {
    case OverlayKind::Strip:
        return "Throttle/brake";
    case OverlayKind::TrackMap:
        return "Track map";
    case OverlayKind::VarPlot:
        return "Variable plot";
    case OverlayKind::Delta:
        return "Delta";
    }
    return "";
}

// A key or button of the settings as the usage text shows it.
std::string binding(const std::string& key, const ButtonBinding& button)
{
    return button.bound() ? key + ", or " + describeButton(button) : key;
}

void printUsageAndKeys()
{
    ProgramSettings settings(kProgram);
    const UserSettings& s = settings.values();
    std::printf("usage: %s [sim|file|URL]\n"
                "The overlays chosen in the settings, each in its own window: the throttle/brake\n"
                "strip, the delta to the reference lap, the track map and the variable plot.\n"
                "\n"
                "%s"
                "\n"
                "The windows stay above other windows and hide while the car is off track.\n"
                "Keys that work while another window, such as the simulator, has the keyboard:\n"
                "  %s\n"
                "      show or hide every overlay\n"
                "  %s\n"
                "      lock the overlays (clicks go through to the window below) or unlock them\n"
                "Unlocked, an overlay is dragged with the left mouse button, and Escape in it\n"
                "ends the program; so do Ctrl-C and SIGTERM.\n"
                "\n"
                "The settings (which overlays run, where, their scale and opacity, the lock,\n"
                "the keys and buttons) are in %s\n",
                kProgram, kSourceHelp, binding(s.showHideKey, s.showHideButton).c_str(),
                binding(s.lockKey, s.lockButton).c_str(), settingsFileForHelp().c_str());
    const std::string log = logFilePath(kProgram);
    if (!log.empty())
        std::printf("Messages go to %s%s\n", log.c_str(), kLogFileWhen);
    const std::vector<ControllerButtons::Device> devices = ControllerButtons::connected();
    if (devices.empty())
        std::printf("No game controllers connected\n");
    for (size_t i = 0; i < devices.size(); ++i)
        std::printf("%s\"%s\" (GUID %s), %zu buttons\n", i == 0 ? "Game controllers connected:\n  " : "  ",
                    devices[i].name.c_str(), devices[i].guid.c_str(), devices[i].buttons.size());
    std::printf("version %s\n", OVERLAY_VERSION);
}

// Takes the key of the settings' entry for the action; a key that cannot be
// read or is held by another program is one line, and the program goes on
// without it.
void bindKey(GlobalKeys& keys, ProgramSettings& settings, int action, const char* entry, const std::string& text)
{
    KeyChord chord;
    std::string error;
    if (!parseKeyChord(text, &chord, &error))
        settings.reportBadValue(std::string("keys.") + entry, "a key such as \"Ctrl+Shift+F1\" (" + error + ")");
    else if (!keys.bind(action, chord, &error))
        std::fprintf(stderr, "%s: %s; going on without it\n", kProgram, error.c_str());
}

void reportWindowFailure(const std::string& message)
{
    reportStartFailure(kProgram, message);
}

} // namespace

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        useCallersOutput(kProgram);
        printUsageAndKeys();
        return 0;
    }
    // A second copy would put its windows over the first's, and both would
    // write one log: it ends before it opens either.
    std::string claimError;
    const CopyClaim claim = claimOnlyCopy(kProgram, &claimError);
    if (claim == CopyClaim::AnotherRuns) {
        reportStartFailure(kProgram, "another telemetry-overlay is already running for this user; this one ends");
        return 1;
    }
    useLogFile(kProgram);
    if (claim == CopyClaim::Unknown)
        std::fprintf(stderr, "%s: cannot tell whether another copy runs (%s); going on\n", kProgram,
                     claimError.c_str());
    installStopRequestHandlers();
    ProgramSettings settings(kProgram);
    const UserSettings& chosen = settings.values();
    std::string sourceError;
    std::shared_ptr<IRData> irData = makeSource(argc, argv, kProgram, chosen.share, &sourceError);
    if (!irData) {
        reportStartFailure(kProgram, sourceError.empty() ? "unknown argument \"" + std::string(argv[1]) + "\"; " +
                                                               usageLine(kProgram)
                                                         : sourceError);
        return 2;
    }
    const std::string shaderProblem = Qvis::unreadableShaderSource();
    if (!shaderProblem.empty()) {
        reportStartFailure(kProgram, "cannot build the shader programs: " + shaderProblem);
        return 1;
    }
    settings.writeFirstStartFile();
    std::vector<OverlayKind> kinds;
    for (OverlayKind kind : kKinds)
        if (chosen.overlay(kind).enabled)
            kinds.push_back(kind);
    if (kinds.empty()) {
        std::string error;
        reportStartFailure(kProgram, "no overlay is enabled in " + ProgramSettings::filePath(&error) +
                                         " (enabled = true in [strip], [delta], [trackmap] or [varplot])");
        return 2;
    }

    // Overlays without a saved place on a monitor open side by side, the
    // strip below, where they cover none of those with one.
    Qvis::setStartFailureHandler(reportWindowFailure);
    std::vector<OverlayWindow> windows;
    for (OverlayKind kind : kinds)
        windows.push_back(overlayWindow(kind, chosen.overlay(kind)));
    const std::vector<Qvis::ScreenRect> places = openingPlaces(Qvis::workAreas(), windows);
    const std::vector<VarSetup> variables = varplotVariables(settings);
    // The strip and the delta show one reference lap.
    const std::shared_ptr<ReferenceLap> reference = makeReferenceLap(irData, settings);
    std::vector<std::unique_ptr<Overlay>> overlays;
    std::vector<Overlay*> loop;
    bool locked = chosen.locked;
    for (size_t i = 0; i < kinds.size(); ++i) {
        overlays.push_back(makeOverlay(kinds[i], irData, settings, reference, variables, title(kinds[i]), places[i]));
        overlays.back()->setLocked(locked);
        loop.push_back(overlays.back().get());
    }

    GlobalKeys keys;
    bindKey(keys, settings, kShowHide, "show-hide", chosen.showHideKey);
    bindKey(keys, settings, kLock, "lock", chosen.lockKey);
    ControllerButtons buttons;
    buttons.bind(kShowHide, chosen.showHideButton);
    buttons.bind(kLock, chosen.lockButton);

    // The telemetry goes to the broker as the overlays take it.
    std::unique_ptr<TelemetrySharer> sharer = startSharing(settings, argc >= 2 && looksLikeBrokerUrl(argv[1]));

    // Where the user moved the windows and the lock are kept for the next
    // start, once: at the end of the loop, or when the session ends first.
    // The session's end runs it inside the event processing, where GLFW must
    // not be ended, and the process ends as soon as it returns: the windows'
    // renderers finish what they were given first.
    bool finished = false;
    const auto finish = [&](bool endGlfw) {
        if (finished)
            return;
        finished = true;
        reportLostDisplay(kProgram);
        std::vector<settings::Edit> edits = movedWindows(loop);
        if (locked != chosen.locked)
            edits.push_back(settings::boolEdit("", "locked", locked));
        if (!edits.empty())
            settings.store(edits, "the window positions and the lock");
        sharer.reset();
        if (!endGlfw)
            finishDrawing(loop);
        shutDown(*irData, endGlfw);
    };
    setSessionEndAction([&] { finish(false); });

    LoopState state(loop.size());
    if (sharer)
        state.afterSample = [&] { sharer->share(irData->source()); };
    std::vector<int> pressed;
    runMainLoop(*irData, loop, state, [&](LoopState& s) {
        pressed.clear();
        keys.poll(&pressed);
        buttons.poll(&pressed);
        for (int action : pressed) {
            if (action == kShowHide) {
                s.hiddenByUser = !s.hiddenByUser;
            } else {
                locked = !locked;
                for (Overlay* overlay : loop)
                    overlay->setLocked(locked);
            }
        }
        // Hidden windows process no events: the controllers and the system
        // are heard all the same.
        if (std::none_of(s.shown.begin(), s.shown.end(), [](char shown) { return shown != 0; }))
            glfwPollEvents();
    });
    finish(true);
    return 0;
}
