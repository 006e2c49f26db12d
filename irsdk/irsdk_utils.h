// Live access to the telemetry that the running simulator publishes in named
// shared memory: attaching, noticing and copying new records, the connection
// state, pointers into the live header, text and variable table, and commands
// to the simulator. One attachment per process; used from one thread.
#pragma once

#include "telemetry_layout.h"

// Command codes for the simulator, 0 to irsdk_BroadcastLast - 1; their
// meanings are the simulator's and nothing in this system sends one.
enum irsdk_BroadcastMsg : int {
    irsdk_BroadcastFirst = 0,
    irsdk_BroadcastLast = 13
};

bool irsdk_startup();
void irsdk_shutdown();

// Takes the newest record when it is newer than the last one handed out and
// copies it to dest when dest is not null. dest must hold the header's
// current recordLength bytes; a caller whose buffer may be older than the
// writer's layout uses the sized form below.
bool irsdk_getNewData(char* dest);
// As above for a destination of destLen bytes: a record of another length is
// not copied but its tick is still taken, so the caller sees true and finds
// the new length in the header.
bool irsdk_getNewData(char* dest, int destLen);
// Waits at most timeoutMs for the simulator's next record.
bool irsdk_waitForDataReady(int timeoutMs, char* dest);
bool irsdk_waitForDataReady(int timeoutMs, char* dest, int destLen);

bool irsdk_isConnected();
// The header's session-text counter, which the writer moves each time it
// rewrites the session text; -1 when not attached.
int irsdk_getSessionTextUpdate();

// Null when not attached or when the piece the header names does not lie
// inside the mapped memory (the session text must also be terminated inside
// it). The header and the records are pointers into the simulator's memory,
// valid until irsdk_shutdown; a writer that shrinks its object makes reading
// through them fault, which the layer's own reads are guarded against.
const irsdk_TelemetryHeader* irsdk_getHeader();
const char* irsdk_getData(int index);
// A private copy of the session text, taken by this call and valid until the
// next one, so that a writer cannot take its terminator away during a lookup.
const char* irsdk_getSessionInfoStr();
// A private copy of the variable table, taken afresh after each look for new
// data and valid until the next.
const irsdk_VarDescriptor* irsdk_getVarHeaderPtr();
const irsdk_VarDescriptor* irsdk_getVarHeaderEntry(int index);

int irsdk_varNameToIndex(const char* name);
int irsdk_varNameToOffset(const char* name);

unsigned int irsdk_getBroadcastMsgID();
void irsdk_broadcastMsg(irsdk_BroadcastMsg msg, int p1, int p2);
void irsdk_broadcastMsg(irsdk_BroadcastMsg msg, int p1, float p2);
void irsdk_broadcastMsg(irsdk_BroadcastMsg msg, int p1, int p2, int p3);

int irsdk_padCarNum(int num, int zero);
