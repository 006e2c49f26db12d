// Settings texts the settings fuzzer starts from, and that the settings
// tests run through it under the sanitizers: the file of a first start, the
// forms a table takes, and the texts that faulted inside toml++ or lost the
// user's values.
#pragma once

#include <string>
#include <vector>

#include "Settings.h"

inline std::vector<std::string> settingsSeeds()
{
    return {
        settings::templateText(),
        "\xEF\xBB\xBF# Notepad\r\nlocked = true\r\n[strip]\r\nposition = [10, 20]\r\n",
        "strip.enabled = true\nstrip.position = [1, 2] # here\n[ trackmap ]\n  scale = \"auto\"\n",
        "varplot = { enabled = true, variables = [\"Speed\", \"Gear@int\"] }\n[strip.x]\na = 1\n[strip]\n",
        "[[trackmap]]\nscale = 2\n[[trackmap]]\n",
        "[strip]\nopacit\xC3\xA9 = 0.5\ngr\xC3\xB6\xC3\x9F" "e = 2\nx = \xD0\xB6\n",
        "[#strip]\nscale = 2\n[ \xC2\xA0strip]\n",
        "x = \"\"\"a\\\n   \xC3\xA9 \\\n\n\xE2\x80\x83\xF0\x9F\x98\x80\"\"\"\ny = '''\xC3\xA9'''\n",
        "[varplot]\nvariables = [\n  \"Speed\",\n",
        "k = { a = [1, {b = \"\"\"x\n\"\"\"}], c = 1979-05-27 07:32:00.5-07:00, d = 0x_1 }\n",
        "a = [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]\n",
        "strip = 5\nstrip.x = 1\n[strip]\n[strip]\nlocked = tru\nlocked = false\nlocked = true\n",
    };
}
