// The session-info text of a demo recording: the weekend, the one practice
// session with its result, cameras, the field of drivers, sectors and the
// car's setup, as a simulator writes it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace demo {

// The text for a session whose timed laps took lapTimes (in order), with
// CR LF line ends.
std::string sessionText(const std::vector<double>& lapTimes, unsigned seed);

// Bytes enough for the text (and its NUL) of any session of `laps` timed
// laps with this seed, whatever the lap times, so that room for it can be
// kept before the laps are driven.
size_t sessionTextRoom(int laps, unsigned seed);

} // namespace demo
