// Hooks of the live telemetry layer for tests and for the client.
#pragma once

#include <cstddef>
#include <ctime>

// Replaces the calendar clock used for the connection time-out; null
// restores time().
void irsdk_setTimeSource(time_t (*now)());

// Number of readable bytes of the mapped view, 0 when not attached.
size_t irsdk_getMappedSize();

// The live header's record length when it is positive and fits the view,
// otherwise 0 (not attached, or a header no record can satisfy).
int irsdk_liveRecordLength();

// Number of copies refused since start-up because the slot's tick changed
// while they were made (torn by a concurrent write).
unsigned long long irsdk_getTornCopyCount();
