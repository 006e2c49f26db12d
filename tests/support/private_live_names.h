// Names of the live telemetry's shared memory and event private to one test
// process, so that tests that publish live telemetry may run in parallel.
#pragma once

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

inline void useProcessPrivateNames(const char* tag)
{
#ifdef _WIN32
    const std::string prefix = std::string(tag) + std::to_string(_getpid()) + "_";
    _putenv_s("IRSDK_SHM_PREFIX", prefix.c_str());
#else
    const std::string prefix = std::string(tag) + std::to_string(getpid()) + "_";
    setenv("IRSDK_SHM_PREFIX", prefix.c_str(), 1);
#endif
}
