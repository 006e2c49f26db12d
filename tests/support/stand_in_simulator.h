// A simulator stand-in inside a test: real live telemetry (the named shared
// memory and event) with the variables and session text the test chooses, and
// records whose values are set by name. Tests that use it link livepublisher.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ibt_writer.h"
#include "live_publisher.h"

class StandInSimulator {
public:
    using Values = std::vector<std::pair<const char*, double>>;

    // Starts publishing, connected: the variables as (name, type code), then the session text.
    bool start(const std::vector<std::pair<const char*, int>>& vars, const std::string& text)
    {
        layout = std::make_unique<IbtWriter>();
        for (const auto& v : vars)
            layout->addVar(v.first, v.second);
        std::vector<irsdk_VarDescriptor> descriptors;
        for (int i = 0; i < layout->varCount(); ++i)
            descriptors.push_back(layout->descriptor(i));
        if (!publisher.open(text, descriptors, layout->recordLength()))
            return false;
        publisher.setConnected(true);
        return true;
    }

    // Publishes one record; variables not named are 0.
    void send(const Values& values)
    {
        layout->beginRecord();
        for (const auto& v : values)
            layout->set(v.first, v.second);
        publisher.publish(layout->record().data());
    }

    // A new session text in place of the old (no longer than it), and the
    // header's counter moved, as a simulator rewrites it during a session.
    void rewriteSessionText(const std::string& text)
    {
        irsdk_TelemetryHeader* h = publisher.header();
        char* at = publisher.memory() + h->sessionTextOffset;
        std::memset(at, 0, static_cast<size_t>(h->sessionTextLength));
        std::memcpy(at, text.data(), std::min(text.size(), static_cast<size_t>(h->sessionTextLength) - 1));
        __atomic_add_fetch(&h->sessionTextUpdate, 1, __ATOMIC_RELEASE);
    }

    // Ends publishing: the connected bit clears and the objects go.
    void stop() { publisher.close(); }

private:
    std::unique_ptr<IbtWriter> layout;
    LivePublisher publisher;
};
