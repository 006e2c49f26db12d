#include "OverlayBuilder.h"

#include <cstdio>
#include <string>

#include "BrokerUrl.h"
#include "DeltaController.h"
#include "MainLoop.h"
#include "ReferenceLapKeeper.h"
#include "TelemetrySharer.h"
#include "ThrottleBrakeTraceController.h"
#include "TrackMapController.h"
#include "VariablePlotController.h"
#include "WindowPlacement.h"

namespace {

// Seconds of history: ten for the strip and the plot; the map keeps long
// enough for a whole lap of most circuits.
const unsigned int kHistorySeconds = 10;
const unsigned int kMapSeconds = 120;

} // namespace

std::vector<VarSetup> varplotVariables(ProgramSettings& settings)
{
    std::vector<VarSetup> list;
    std::string error;
    if (!parseVarSetups(settings.values().variables, &list, &error)) {
        settings.reportBadValue("varplot.variables", "a list of up to 15 NAME[@TYPE] (" + error + ")");
        parseVarSetups({}, &list, &error);
    }
    return list;
}

std::shared_ptr<ReferenceLap> makeReferenceLap(const std::shared_ptr<IRData>& source, ProgramSettings& settings)
{
    auto reference = std::make_shared<ReferenceLap>();
    if (source->isLive() && settings.values().referenceLaps) {
        std::string error;
        const std::string folder = LapStore::defaultFolder(&error);
        if (folder.empty())
            std::fprintf(stderr, "%s: %s; reference laps are not kept\n", settings.program(), error.c_str());
        else
            reference->keepLaps(std::make_shared<ReferenceLapKeeper>(settings.program(), folder));
    }
    return reference;
}

std::unique_ptr<Overlay> makeOverlay(OverlayKind kind, const std::shared_ptr<IRData>& source,
                                     ProgramSettings& settings, const std::shared_ptr<ReferenceLap>& reference,
                                     const std::vector<VarSetup>& variables, const char* title,
                                     const Qvis::ScreenRect& fallback)
{
    const OverlaySettings& own = settings.values().overlay(kind);
    restoreWindowPosition(kind, own, fallback);
    const Qvis::WindowStyle style = overlayWindowStyle(own, title);
    switch (kind) {
    case OverlayKind::TrackMap:
        return std::make_unique<ControllerOverlay<TrackMapController>>(kind, source, kMapSeconds, style);
    case OverlayKind::VarPlot:
        return std::make_unique<ControllerOverlay<VariablePlotController>>(kind, source, kHistorySeconds,
                                                                           variables, style,
                                                                           settings.values().varplotLanes);
    case OverlayKind::Delta:
        return std::make_unique<ControllerOverlay<DeltaController>>(kind, source, style, reference);
    case OverlayKind::Strip:
        break;
    }
    return std::make_unique<ControllerOverlay<ThrottleBrakeTraceController>>(kind, source, kHistorySeconds, style,
                                                                             reference);
}

int runOneOverlay(const char* program, OverlayKind kind, int argc, char** argv, const char* extra,
                  std::vector<VarSetup> variables)
{
    ProgramSettings settings(program);
    std::string error;
    const std::shared_ptr<IRData> source = makeSource(argc, argv, program, settings.values().share, &error);
    if (!source) {
        if (error.empty())
            printUsage(program, extra);
        else
            std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    if (!shaderSourcesReadable(program))
        return 1;
    settings.writeFirstStartFile();
    if (kind == OverlayKind::VarPlot && variables.empty())
        variables = varplotVariables(settings);
    const bool showsReference = kind == OverlayKind::Strip || kind == OverlayKind::Delta;
    std::unique_ptr<Overlay> overlay = makeOverlay(
        kind, source, settings, showsReference ? makeReferenceLap(source, settings) : nullptr, variables);
    runMainLoop(*source, {overlay.get()});
    reportLostDisplay(program);
    const std::vector<settings::Edit> edits = movedWindows({overlay.get()});
    if (!edits.empty())
        settings.store(edits);
    shutDown(*source);
    return 0;
}

std::unique_ptr<TelemetrySharer> startSharing(ProgramSettings& settings, bool fromBroker)
{
    const ShareSettings& share = settings.values().share;
    if (!share.enabled)
        return nullptr;
    std::string error;
    if (fromBroker) {
        // Passing shared telemetry on would answer the driver's own topic.
        std::fprintf(stderr, "%s: not sharing: the telemetry comes from a broker\n", settings.program());
        return nullptr;
    }
    BrokerAddress address;
    if (!parseBrokerUrl(share.url, &address, &error)) {
        std::fprintf(stderr, "%s: not sharing: share.url in %s: %s\n", settings.program(),
                     ProgramSettings::filePath(&error).c_str(), error.c_str());
        return nullptr;
    }
    auto sharer = std::make_unique<TelemetrySharer>(address, BrokerLogin{share.username, share.password, share.caFile},
                                                    share.variables);
    if (!sharer->start(&error)) {
        std::fprintf(stderr, "%s: not sharing: %s\n", settings.program(), error.c_str());
        return nullptr;
    }
    return sharer;
}
