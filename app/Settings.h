// The per-user settings file: one "key = value" line per entry, lines that
// begin with '#' are comments. Written back, the file keeps its comments, its
// order and even lines that could not be read, so an edit by hand is never
// lost; only the entries set by the program change.
#pragma once

#include <string>
#include <vector>

class Settings {
public:
    // The settings file in the user's configuration folder; empty, with
    // *error set, when there is no such folder.
    static std::string filePath(std::string* error);

    // Reads the text of a settings file. Lines that are not comments, blank
    // or "key = value" are kept but ignored; *problem (when not null)
    // receives a sentence about the first of them.
    void parse(const std::string& text, std::string* problem = nullptr);
    std::string text() const;

    // The value of an entry, or null when there is none.
    const std::string* get(const std::string& key) const;
    // Replaces the value of an entry, or adds the entry at the end.
    void set(const std::string& key, const std::string& value);

private:
    struct Line {
        std::string text;
        std::string key; // empty for comments, blank and unreadable lines
        std::string value;
    };
    std::vector<Line> lines;
};

// The settings of one program run, read once at start. A file that cannot be
// read, or holds a line that is not an entry, leaves every setting at its
// default. Problems go to standard error as one line per run at most,
// prefixed with the program's name, and never stop the program.
class ProgramSettings {
public:
    explicit ProgramSettings(const char* program);

    const char* program() const { return name; }
    const std::string* get(const std::string& key) const { return settings.get(key); }
    // Reports a bad value of an entry, unless a problem was reported already.
    void reportBadValue(const std::string& key, const std::string& what);

    // Sets an entry in the settings file: the file is read again, so that
    // what other programs wrote since the start is kept, and replaced
    // atomically. A file that cannot be read is left as it is. A failure is
    // reported on standard error.
    void store(const std::string& key, const std::string& value);

private:
    void report(const std::string& line);

    const char* name;
    Settings settings;
    bool reported = false;
};
