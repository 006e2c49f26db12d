#include "Settings.h"

#include <cstdio>

#include "UserFiles.h"

namespace {

// Settings are a few lines; anything much larger is not a settings file.
const size_t kMaxSettingsBytes = 64 * 1024;

// How long a program that ends waits for another one to finish its write.
const int kLockWaitMs = 3000;

// Writers of the settings file take this lock around reading, changing and
// replacing it.
std::string lockPathOf(const std::string& settingsPath)
{
    return settingsPath + ".lock";
}

std::string trimmed(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// A key is a word of letters, digits and ".-_", as the programs write them.
bool isKey(const std::string& key)
{
    if (key.empty())
        return false;
    for (char c : key) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

std::string Settings::filePath(std::string* error)
{
    const std::string folder = userfiles::configFolder(error);
    return folder.empty() ? folder : folder + "/settings.conf";
}

void Settings::parse(const std::string& text, std::string* problem)
{
    lines.clear();
    int number = 0;
    bool found = false;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        Line line;
        line.text = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;

        const std::string t = trimmed(line.text);
        if (t.empty() || t[0] == '#') {
            lines.push_back(line);
            continue;
        }
        const size_t eq = t.find('=');
        const std::string key = eq == std::string::npos ? std::string() : trimmed(t.substr(0, eq));
        if (!isKey(key) || line.text.find('\0') != std::string::npos) {
            if (problem && !found)
                *problem = "line " + std::to_string(number) + " is not a \"key = value\" line";
            found = true;
        } else {
            line.key = key;
            line.value = trimmed(t.substr(eq + 1));
        }
        lines.push_back(line);
    }
}

std::string Settings::text() const
{
    std::string out;
    for (const Line& line : lines)
        out += line.text + "\n";
    return out;
}

const std::string* Settings::get(const std::string& key) const
{
    // The last entry of a key wins, as a person appending a line expects.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (it->key == key)
            return &it->value;
    return nullptr;
}

void Settings::set(const std::string& key, const std::string& value)
{
    Line line{key + " = " + value, key, value};
    bool placed = false;
    for (auto it = lines.begin(); it != lines.end();) {
        if (it->key != key) {
            ++it;
        } else if (!placed) {
            *it++ = line;
            placed = true;
        } else {
            it = lines.erase(it);
        }
    }
    if (!placed)
        lines.push_back(line);
}

ProgramSettings::ProgramSettings(const char* program) : name(program)
{
    std::string error;
    const std::string path = Settings::filePath(&error);
    if (path.empty()) {
        report(error + "; using the default settings");
        return;
    }
    userfiles::removeStaleTemporaries(path, lockPathOf(path));
    std::string text;
    switch (userfiles::readFile(path, kMaxSettingsBytes, &text, &error)) {
    case userfiles::ReadStatus::Missing:
        return;
    case userfiles::ReadStatus::Failed:
        report(error + "; using the default settings");
        return;
    case userfiles::ReadStatus::Ok:
        break;
    }
    // A damaged file may have lost more than the lines that show it, so none
    // of it is trusted; the lines stay in the file for the user to mend.
    std::string problem;
    settings.parse(text, &problem);
    if (!problem.empty()) {
        report("settings file " + path + ": " + problem + "; using the default settings");
        settings = Settings();
    }
}

void ProgramSettings::reportBadValue(const std::string& key, const std::string& what)
{
    std::string error;
    report("settings file " + Settings::filePath(&error) + ": " + key + " is not " + what +
           "; using the default");
}

void ProgramSettings::store(const std::string& key, const std::string& value)
{
    std::string error;
    const std::string path = Settings::filePath(&error);
    if (path.empty()) {
        report(error + "; " + key + " not saved");
        return;
    }
    // Programs that end together write one after the other, each over what
    // the one before wrote.
    const userfiles::FileLock lock(lockPathOf(path), kLockWaitMs);
    if (!lock.held()) {
        report(lock.error() + "; " + key + " not saved");
        return;
    }
    std::string text;
    const userfiles::ReadStatus read = userfiles::readFile(path, kMaxSettingsBytes, &text, &error);
    // A file that cannot be read is not written over: it may hold more than
    // this program knows.
    if (read == userfiles::ReadStatus::Failed) {
        report(error + "; " + key + " not saved");
        return;
    }
    Settings current;
    current.parse(text);
    if (current.get(key) && *current.get(key) == value)
        return;
    current.set(key, value);
    if (!userfiles::writeFileAtomically(path, current.text(), &error))
        report(error + "; " + key + " not saved");
}

void ProgramSettings::report(const std::string& line)
{
    if (reported)
        return;
    reported = true;
    std::fprintf(stderr, "%s: %s\n", name, line.c_str());
}
