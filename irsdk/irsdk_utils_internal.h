// Hooks of the live telemetry layer for tests and for the client.
#pragma once

#include <cstddef>
#include <ctime>

#include "telemetry_layout.h"

// Replaces the calendar clock used for the connection time-out; null
// restores time().
void irsdk_setTimeSource(time_t (*now)());

// Attaches to a caller's buffer of size bytes as if it were the mapped
// object, without an event (waits sleep), so that the bounds checks can be
// fed a heap buffer of exact size under a sanitizer. Ignored for a buffer
// smaller than the header. irsdk_shutdown detaches and leaves it alone.
void irsdk_attachBufferForTesting(const char* buffer, size_t size);

// Number of readable bytes of the mapped view, 0 when not attached.
size_t irsdk_getMappedSize();

// The live header's record length when it is positive and fits the view,
// otherwise 0 (not attached, or a header no record can satisfy).
int irsdk_liveRecordLength();

// The tick of the record last handed out (INT_MAX before the first one of a
// connection), for a caller that republishes records under their own ticks.
int irsdk_getLastTick();

// The private copy of the variable table and its length, as
// irsdk_getVarHeaderPtr gives it; null (and 0) while there is none.
const irsdk_VarDescriptor* irsdk_getVarTable(int* count);

// Number of copies refused since start-up because the slot's tick changed
// while they were made (torn by a concurrent write).
unsigned long long irsdk_getTornCopyCount();
