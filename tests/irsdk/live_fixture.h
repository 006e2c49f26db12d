// A simulator stand-in inside the test: real named shared memory and event
// under names private to this test process, records whose values tell which
// one was read, and a clock the test moves by hand.
#pragma once

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ibt_writer.h"
#include "irsdk_client.h"
#include "irsdk_utils.h"
#include "irsdk_utils_internal.h"
#include "live_publisher.h"
#include "private_live_names.h"

inline time_t liveTestNow = 0;

inline time_t liveTestClock()
{
    return liveTestNow;
}

class LiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        useProcessPrivateNames("livetest");
        // Far from any earlier test's records: the layer keeps the time of
        // the last record across detaching.
        liveTestNow += 1000000;
        irsdk_setTimeSource(&liveTestClock);
    }

    void TearDown() override
    {
        irsdkClient::instance().shutdown();
        irsdk_shutdown();
        publisher.close();
        irsdk_setTimeSource(nullptr);
    }

    // Publishes a layout of the given variables (default: Seq int, Speed
    // float, Gear int, Flags bitfield) with the connected bit set.
    void openLayout(int bufferCount = 3, const std::vector<std::string>& names = {"Seq", "Speed", "Gear"},
        const std::string& session = "WeekendInfo:\n TrackName: testring\n")
    {
        layout = std::make_unique<IbtWriter>();
        for (const std::string& n : names)
            layout->addVar(n, n == "Speed" ? irsdk_float : irsdk_int);
        std::vector<irsdk_VarDescriptor> vars;
        for (int i = 0; i < layout->varCount(); ++i)
            vars.push_back(layout->descriptor(i));
        ASSERT_TRUE(publisher.open(session, vars, layout->recordLength(), bufferCount)) << publisher.error();
        publisher.setConnected(true);
    }

    // A record of the current layout with Seq = seq, Speed = seq / 2, Gear = seq % 7.
    std::vector<char> record(int seq)
    {
        layout->beginRecord();
        if (layout->varIndex("Seq") >= 0)
            layout->setInt(layout->varIndex("Seq"), seq);
        if (layout->varIndex("Speed") >= 0)
            layout->set("Speed", seq / 2.0);
        if (layout->varIndex("Gear") >= 0)
            layout->setInt(layout->varIndex("Gear"), seq % 7);
        return layout->record();
    }

    // Seq of a record copied out in the current layout.
    int seqOf(const std::vector<char>& rec) const
    {
        int v;
        std::memcpy(&v, rec.data() + layout->descriptor(layout->varIndex("Seq")).dataOffset, sizeof v);
        return v;
    }

    LivePublisher publisher;
    std::unique_ptr<IbtWriter> layout;
};
