// The statements of a TOML text and where each stands, found by our own
// scanner of the TOML 1.0 grammar, which is sound for any bytes. The
// settings reader gives toml++ only statements that the scanner accepted:
// the library (Debian's 3.3.0) reaches undefined behaviour on letters
// beyond ASCII outside strings ("größe = 2") and fails an assertion on a
// table name that is not a key ("[#strip]"). The settings editor finds in it
// where a value stands and where a new one goes.
#pragma once

#include <string>
#include <vector>

#include <toml++/toml.h>

namespace tomltext {

// Bytes [begin, end) of the text.
struct Span {
    size_t begin = 0;
    size_t end = 0;
};

// A statement at the top level: a key = value, whose value may go on over
// several lines, or a [table] or [[array of tables]] header.
struct Statement {
    enum class Kind { Pair, Table, ArrayOfTables };
    Kind kind = Kind::Pair;
    std::vector<std::string> header; // a header's table, key by key
    Span whole;                      // from the start of its first line to past its last line's end
    int line = 0;                    // its first line, from 1
    int lastLine = 0;
};

// A key = value, at the top level or inside a table in braces.
struct Pair {
    std::vector<std::string> path; // from the root: the section, the tables in braces around it, its key
    size_t keyParts = 0;           // the parts of path that its own key wrote (more than one when dotted)
    Span value;
    size_t statement = 0; // index of the top-level statement that holds it
    bool inBraces = false;
    bool inArray = false; // in a list or under an [[array of tables]]: one of several, not one place
};

// A line or group of lines that is not TOML, left out of what is read.
struct Problem {
    int line = 0; // where the fault is
    std::string what;
    Span ignored;
    bool toTheEnd = false; // a list, table or text that is never closed: the rest of the file
};

struct Document {
    size_t start = 0;  // past a byte-order mark
    bool crlf = false; // lines end in CR LF
    std::vector<Statement> statements;
    std::vector<Pair> pairs;
    std::vector<Problem> problems;
    // Characters beyond ASCII right after a line continuation in a text of
    // several lines ("""a\<newline>é"""): valid TOML on which the library
    // reaches undefined behaviour, so it reads them as \u escapes.
    std::vector<size_t> continuedNonAscii;

    // The statement that holds line `line`, or null.
    const Statement* statementAt(int line) const;
    // A statement's bytes, for a header with every statement of its table.
    Span extentOf(const Statement& statement) const;
};

Document scan(const std::string& text);

// Parses what the scanner accepted with toml++, with the problems' bytes and
// those of `dropped` left out (their lines kept, so that line numbers hold).
toml::parse_result parse(const std::string& text, const Document& doc, const std::vector<Span>& dropped = {});

} // namespace tomltext
