// Whole files as strings, for comparing what programs and writers produced.
#pragma once

#include <string>

// The bytes of a file; empty when it cannot be read.
std::string readFile(const std::string& path);
