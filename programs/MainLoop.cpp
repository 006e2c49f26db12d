#include "MainLoop.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "BrokerSource.h"
#include "Settings.h"
#include "WindowPlacement.h"

#include "desktop_window.h"
#include "window.h"
#include "shader.h"

std::shared_ptr<IRData> makeSource(int argc, char** argv, const char* program, const ShareSettings& login,
                                   std::string* error)
{
    error->clear();
    if (argc < 2 || std::strcmp(argv[1], "sim") == 0)
        return std::make_shared<IRData>();
    if (std::strcmp(argv[1], "file") == 0)
        return std::make_shared<IRData>("telemetry.ibt");
    if (!looksLikeBrokerUrl(argv[1]))
        return nullptr;
    BrokerAddress address;
    if (!parseBrokerUrl(argv[1], &address, error))
        return nullptr;
    auto source = std::make_unique<BrokerSource>(address, BrokerLogin{login.username, login.password, login.caFile},
                                                 program, BrokerSource::kDefaultQueuedRecords,
                                                 BrokerSource::Pace::KeepUp);
    if (!source->start(error))
        return nullptr;
    return std::make_shared<IRData>(std::move(source));
}

std::string usageLine(const char* program, const char* extra)
{
    return std::string("usage: ") + program + " [sim|file|URL]" + (*extra ? " " : "") + extra +
           " (sim: live telemetry, the default; file: replay telemetry.ibt; URL: mqtt://HOST[:PORT]/TOPIC"
           " or mqtts://...: a driver's telemetry shared through a broker)";
}

void printUsage(const char* program, const char* extra)
{
    std::fprintf(stderr, "%s\n", usageLine(program, extra).c_str());
}

bool wantsHelp(int argc, char** argv)
{
    return argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
}

const char* const kSourceHelp = "  sim    live telemetry from the simulator's shared memory (the default)\n"
                                "  file   replay telemetry.ibt from the working directory\n"
                                "  URL    mqtt://HOST[:PORT]/TOPIC, or mqtts:// over TLS: the telemetry a\n"
                                "         driver shares through an MQTT broker, with the login of [share]\n"
                                "         in the settings\n";

std::string settingsFileForHelp()
{
    std::string error;
    const std::string path = ProgramSettings::filePath(&error);
    return path.empty() ? "the user's settings file (" + error + ")" : path;
}

void printHelp(const char* program, const char* extra, const char* about, const char* more)
{
    std::printf("usage: %s [sim|file|URL]%s%s\n"
                "%s\n"
                "\n"
                "%s"
                "%s"
                "\n"
                "The window stays above other windows and hides while the car is off track.\n"
                "  drag with the left mouse button   move the window\n"
                "  Escape (in the window)            close it and end the program\n"
                "  Ctrl-C (in the terminal)          end the program\n"
                "Where the window was left, its scale and its opacity are kept in\n"
                "%s\n"
                "version " OVERLAY_VERSION "\n",
                program, *extra ? " " : "", extra, about, kSourceHelp, more, settingsFileForHelp().c_str());
}

bool shaderSourcesReadable(const char* program)
{
    const std::string problem = Qvis::unreadableShaderSource();
    if (problem.empty())
        return true;
    std::fprintf(stderr, "%s: cannot build the shader programs: %s\n", program, problem.c_str());
    return false;
}

void runPass(IRData& irData, const std::vector<Overlay*>& overlays, LoopState& state)
{
    const bool fresh = irData.updateData();
    const SessionWatch::Verdict verdict = state.session.observe(irData, fresh, SessionWatch::Clock::now());
    for (Overlay* overlay : overlays) {
        if (verdict.newSession)
            overlay->startAfresh();
        if (fresh)
            overlay->updateData();
        overlay->setStale(verdict.stale);
    }
    if (fresh && state.afterSample)
        state.afterSample();
    const bool visible = !state.hiddenByUser && (irData.isCarOnTrack() || !irData.isConnected());
    for (size_t i = 0; i < overlays.size(); ++i) {
        if (visible) {
            if (!state.shown[i]) {
                overlays[i]->showWindow();
                state.shown[i] = 1;
            }
            overlays[i]->drawWindow();
        } else {
            overlays[i]->hideWindow();
            state.shown[i] = 0;
        }
    }
    // Shown once all are drawn: the renderer works on one window's frame
    // while the next one is drawn.
    if (visible)
        for (Overlay* overlay : overlays)
            overlay->presentWindow();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool loopEnded(const std::vector<Overlay*>& overlays)
{
    if (stopRequested() || Qvis::desktop::displayLost())
        return true;
    for (Overlay* overlay : overlays)
        if (glfwWindowShouldClose(overlay->getWindow()))
            return true;
    return false;
}

void reportLostDisplay(const char* program)
{
    if (Qvis::desktop::displayLost())
        std::fprintf(stderr, "%s: the connection to the X server was lost; its windows are gone\n", program);
}

std::vector<settings::Edit> movedWindows(const std::vector<Overlay*>& overlays)
{
    std::vector<settings::Edit> edits;
    for (Overlay* overlay : overlays) {
        if (!overlay->wasMoved())
            continue;
        int x = 0, y = 0;
        overlay->getWindowPosition(&x, &y);
        edits.push_back(settings::positionEdit(overlay->kind, x, y));
    }
    return edits;
}

void finishDrawing(const std::vector<Overlay*>& overlays)
{
    if (Qvis::desktop::displayLost())
        return;
    for (Overlay* overlay : overlays)
        Qvis::finishRendering(overlay->getWindow());
}

void shutDown(IRData& irData, bool endGlfw)
{
    // A window system that has gone takes the windows with it; asking it to
    // close them would only reach a dead connection.
    if (endGlfw && !Qvis::desktop::displayLost())
        glfwTerminate();
    std::fputs("Shutting down.\n\n", stdout);
    std::fflush(stdout);
    irData.endSession();
    stopRequestHandled();
}
