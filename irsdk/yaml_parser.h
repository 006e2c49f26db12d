// Lookup of one value in the session-info text by a path of keys.
#pragma once

// Finds the value at `path` (keys with their colons, outermost first, each
// optionally followed by a {value} selector) in the NUL-terminated `data`.
// On success *val points into data and *len is the value's length (the value
// is not terminated). On failure *val is null and *len is 0.
bool parseYaml(const char* data, const char* path, const char** val, int* len);

// Copies a found value out as the session-string getters do: at most valLen
// characters and a NUL (val holds valLen + 1 bytes). Returns 1 when the whole
// value fit, otherwise minus the length needed.
int irsdk_copySessionValue(const char* value, int len, char* val, int valLen);

// Looks `path` up in the NUL-terminated session text and copies the value as
// irsdk_copySessionValue does: 1 when it fit, minus the length needed when
// cut, 0 when there is no text or no such value.
int irsdk_lookupSessionValue(const char* text, const char* path, char* val, int valLen);
