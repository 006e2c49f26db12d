#include "TomlText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace tomltext {

namespace {

// Lists and tables in braces nested deeper than this are refused: no
// settings file needs more, and the scanner goes one call deeper per level.
const int kMaxDepth = 32;

const char* const kBareKeyOnly = "a key without quotes has only the letters A to Z, digits, _ and -";

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBareKeyChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '_' || c == '-';
}

// Characters of numbers, dates, times, true and false.
bool isScalarChar(char c)
{
    return isBareKeyChar(c) || c == '+' || c == '.' || c == ':';
}

// A control character that TOML allows in no text and no comment.
bool isControl(unsigned char c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

// The scalar value of the UTF-8 sequence at s[p] and its length, or length
// 0 for bytes that are not one (RFC 3629: no overlong forms, no surrogates,
// nothing past U+10FFFF).
size_t utf8At(const std::string& s, size_t p, uint32_t* codePoint)
{
    const unsigned char c = static_cast<unsigned char>(s[p]);
    size_t n = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
        *codePoint = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07u;
    } else {
        return 0;
    }
    if (n > s.size() - p)
        return 0;
    for (size_t i = 1; i < n; ++i) {
        const unsigned char d = static_cast<unsigned char>(s[p + i]);
        if ((d & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (d & 0x3Fu);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return n;
}

void appendUtf8(uint32_t cp, std::string* out)
{
    if (cp < 0x80) {
        *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out += static_cast<char>(0xC0 | (cp >> 6));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += static_cast<char>(0xE0 | (cp >> 12));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (cp >> 18));
        *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A token of TOML's numbers, dates and times, or true or false.
class ScalarToken {
public:
    explicit ScalarToken(const std::string& token) : t(token) {}

    bool valid()
    {
        if (t == "true" || t == "false" || t == "inf" || t == "+inf" || t == "-inf" || t == "nan" || t == "+nan" ||
            t == "-nan")
            return true;
        if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'o' || t[1] == 'b')) {
            i = 2;
            const char base = t[1];
            return digits([base](char c) {
                       return base == 'x' ? (isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
                                          : base == 'o' ? (c >= '0' && c <= '7') : (c == '0' || c == '1');
                   }) &&
                   i == t.size();
        }
        if (t.size() >= 10 && t[4] == '-' && isDigit(t[0]))
            return dateTime();
        if (t.size() >= 8 && t[2] == ':' && isDigit(t[0]))
            return time() && i == t.size();
        return decimal();
    }

private:
    // One or more digits, single underscores only between two of them.
    template <class IsDigit>
    bool digits(IsDigit isDigitOf)
    {
        if (i >= t.size() || !isDigitOf(t[i]))
            return false;
        for (++i; i < t.size(); ++i) {
            if (t[i] == '_' && i + 1 < t.size() && isDigitOf(t[i + 1]))
                ++i;
            else if (!isDigitOf(t[i]))
                break;
        }
        return true;
    }

    bool fixed(size_t count)
    {
        for (size_t k = 0; k < count; ++k, ++i)
            if (i >= t.size() || !isDigit(t[i]))
                return false;
        return true;
    }

    bool at(char c)
    {
        if (i < t.size() && t[i] == c) {
            ++i;
            return true;
        }
        return false;
    }

    bool decimal()
    {
        if (!at('+'))
            at('-');
        const size_t first = i;
        if (!digits(isDigit))
            return false;
        if (t[first] == '0' && i - first > 1)
            return false; // no leading zeros
        if (at('.') && !digits(isDigit))
            return false;
        if (at('e') || at('E')) {
            if (!at('+'))
                at('-');
            if (!digits(isDigit))
                return false;
        }
        return i == t.size();
    }

    // HH:MM:SS with an optional fraction.
    bool time()
    {
        if (!(fixed(2) && at(':') && fixed(2) && at(':') && fixed(2)))
            return false;
        if (at('.')) {
            if (!fixed(1))
                return false;
            while (i < t.size() && isDigit(t[i]))
                ++i;
        }
        return true;
    }

    // A date, alone or with a time (after T, t or a space) and an offset.
    bool dateTime()
    {
        if (!(fixed(4) && at('-') && fixed(2) && at('-') && fixed(2)))
            return false;
        if (i == t.size())
            return true;
        if (!(at('T') || at('t') || at(' ')) || !time())
            return false;
        if (at('Z') || at('z'))
            return i == t.size();
        if (at('+') || at('-'))
            return fixed(2) && at(':') && fixed(2) && i == t.size();
        return i == t.size();
    }

    const std::string& t;
    size_t i = 0;
};

class Scanner {
public:
    explicit Scanner(const std::string& text) : s(text), n(text.size())
    {
        for (size_t i = 0; i < n; ++i)
            if (s[i] == '\n')
                newlines.push_back(i);
    }

    Document run()
    {
        if (s.compare(0, 3, "\xEF\xBB\xBF") == 0)
            p = doc.start = 3;
        const size_t firstNewline = s.find('\n');
        doc.crlf = firstNewline != std::string::npos && firstNewline > 0 && s[firstNewline - 1] == '\r';
        while (p < n) {
            const size_t lineBegin = p;
            failed = false;
            skipWs();
            if (p >= n)
                break;
            if (newlineAt(p)) {
                skipNewline();
                continue;
            }
            if (s[p] == '#') {
                if (comment() && endOfLine("the comment"))
                    continue;
                problem(lineBegin, std::string::npos);
                continue;
            }
            const bool isHeader = s[p] == '[';
            if (lostSection && !isHeader) {
                // The keys of a table whose header is not TOML go with it.
                const Span rest = tolerantStatement(lineBegin, lineBegin);
                doc.problems.back().ignored.end = rest.end;
                doc.problems.back().toTheEnd = doc.problems.back().toTheEnd || unclosedAt != std::string::npos;
                p = rest.end;
                continue;
            }
            lostSection = false;
            const size_t pairsBefore = doc.pairs.size(), escapesBefore = doc.continuedNonAscii.size();
            valueBegin = std::string::npos;
            const bool ok = isHeader ? header(lineBegin) : topLevelPair(lineBegin);
            if (ok)
                continue;
            doc.pairs.resize(pairsBefore);
            doc.continuedNonAscii.resize(escapesBefore);
            problem(lineBegin, isHeader ? lineBegin : valueBegin);
            lostSection = isHeader;
        }
        return std::move(doc);
    }

private:
    bool fail(size_t at, std::string what)
    {
        if (!failed) {
            failed = true;
            failAt = std::min(at, n);
            failWhat = std::move(what);
        }
        return false;
    }

    bool newlineAt(size_t i) const { return i < n && (s[i] == '\n' || (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n')); }
    void skipNewline() { p += s[p] == '\r' ? 2 : 1; }
    void skipWs()
    {
        while (p < n && (s[p] == ' ' || s[p] == '\t'))
            ++p;
    }

    int lineOf(size_t pos) const
    {
        return static_cast<int>(std::lower_bound(newlines.begin(), newlines.end(), pos) - newlines.begin()) + 1;
    }

    // Past the end of the line that holds pos.
    size_t lineEnd(size_t pos) const
    {
        const auto next = std::lower_bound(newlines.begin(), newlines.end(), pos);
        return next == newlines.end() ? n : *next + 1;
    }

    // A comment, from its '#' to the end of its line (not the line break).
    bool comment()
    {
        for (++p; p < n && s[p] != '\n'; ) {
            const unsigned char c = static_cast<unsigned char>(s[p]);
            if (c == '\r' && newlineAt(p))
                break;
            if (isControl(c))
                return fail(p, "a control character in a comment");
            if (!character())
                return false;
        }
        return true;
    }

    // One character of a comment or a text: a byte of ASCII or a whole
    // UTF-8 sequence.
    bool character()
    {
        uint32_t cp = 0;
        const size_t length = utf8At(s, p, &cp);
        if (length == 0)
            return fail(p, "bytes that are not UTF-8");
        p += length;
        return true;
    }

    // Spaces, a comment, then the line's end or the text's.
    bool endOfLine(const char* after)
    {
        skipWs();
        if (p < n && s[p] == '#' && !comment())
            return false;
        if (p >= n)
            return true;
        if (newlineAt(p)) {
            skipNewline();
            return true;
        }
        return fail(p, std::string("unexpected text after ") + after);
    }

    // Spaces, comments and line breaks between the values of a list.
    bool skipListSpace()
    {
        for (;;) {
            skipWs();
            if (p < n && s[p] == '#' && !comment())
                return false;
            if (!newlineAt(p))
                return true;
            skipNewline();
        }
    }

    // A key, bare, quoted or dotted, decoded part by part.
    bool key(std::vector<std::string>* parts, const char* what)
    {
        for (;;) {
            std::string part;
            if (p < n && (s[p] == '"' || s[p] == '\'')) {
                if (s.compare(p, 3, s[p] == '"' ? "\"\"\"" : "'''") == 0)
                    return fail(p, "a key cannot be a text of several lines");
                if (!text(s[p], false, &part))
                    return false;
            } else {
                const size_t first = p;
                while (p < n && isBareKeyChar(s[p]))
                    ++p;
                if (p == first)
                    return p < n && static_cast<unsigned char>(s[p]) >= 0x80 ? fail(p, kBareKeyOnly)
                                                                              : fail(p, std::string("expected ") + what);
                part = s.substr(first, p - first);
            }
            parts->push_back(std::move(part));
            skipWs();
            if (p >= n || s[p] != '.')
                return true;
            ++p;
            skipWs();
        }
    }

    // What a bare key cannot hold, said as the person meant it.
    bool afterKey(const char* expected)
    {
        if (p < n && static_cast<unsigned char>(s[p]) >= 0x80)
            return fail(p, kBareKeyOnly);
        return fail(p, std::string("expected ") + expected + " after the key");
    }

    // \b \t \n \f \r \" \\ \uXXXX \UXXXXXXXX, p on the backslash.
    bool escape(std::string* out)
    {
        const size_t at = p++;
        if (p >= n)
            return fail(at, "a text that is never closed");
        const char c = s[p++];
        const char* simple = "b\bt\tn\nf\fr\r\"\"\\\\";
        for (const char* e = simple; *e; e += 2)
            if (c == e[0]) {
                if (out)
                    *out += e[1];
                return true;
            }
        if (c != 'u' && c != 'U')
            return fail(at, "\\" + std::string(1, c) + " is not an escape in a text in quotes");
        const size_t digits = c == 'u' ? 4 : 8;
        uint32_t cp = 0;
        for (size_t k = 0; k < digits; ++k, ++p) {
            const char h = p < n ? s[p] : '\0';
            const int v = isDigit(h) ? h - '0' : (h >= 'a' && h <= 'f') ? h - 'a' + 10 : (h >= 'A' && h <= 'F') ? h - 'A' + 10 : -1;
            if (v < 0)
                return fail(at, "\\" + std::string(1, c) + " needs " + std::to_string(digits) + " hexadecimal digits");
            cp = cp * 16 + static_cast<uint32_t>(v);
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return fail(at, "an escape of a character that does not exist");
        if (out)
            appendUtf8(cp, out);
        return true;
    }

    // A run of quotes in a text of several lines: up to two belong to the
    // text; three to five close it, the last three being the delimiter.
    bool quotes(char quote, bool* closed)
    {
        size_t run = 0;
        while (p + run < n && s[p + run] == quote)
            ++run;
        if (run > 5)
            return fail(p, "too many quotes in a row");
        p += run;
        *closed = run >= 3;
        return true;
    }

    // A text in quotes, p on its first quote: "..." and """...""" with
    // escapes, '...' and '''...''' without; decoded into *out when given.
    bool text(char quote, bool multiLine, std::string* out)
    {
        const size_t open = p;
        p += multiLine ? 3 : 1;
        for (;;) {
            if (p >= n)
                return fail(open, "a text that is never closed");
            const unsigned char c = static_cast<unsigned char>(s[p]);
            if (c == quote) {
                if (!multiLine) {
                    ++p;
                    return true;
                }
                bool closed = false;
                if (!quotes(quote, &closed))
                    return false;
                if (closed)
                    return true;
            } else if (c == '\\' && quote == '"') {
                if (multiLine && p + 1 < n && (s[p + 1] == ' ' || s[p + 1] == '\t' || newlineAt(p + 1))) {
                    if (!lineContinuation())
                        return false;
                } else if (!escape(out)) {
                    return false;
                }
            } else if (newlineAt(p)) {
                if (!multiLine)
                    return fail(p, "a text in quotes that is not closed on its line");
                skipNewline();
            } else if (isControl(c)) {
                return fail(p, "a control character in a text");
            } else {
                const size_t from = p;
                if (!character())
                    return false;
                if (out)
                    out->append(s, from, p - from);
            }
        }
    }

    // A backslash at the end of a line in a text of several lines: it, the
    // line break and the white space after go.
    bool lineContinuation()
    {
        const size_t at = p++;
        skipWs();
        if (!newlineAt(p))
            return fail(at, "after a \\ that ends a line, only spaces may follow on it");
        for (;;) {
            if (newlineAt(p))
                skipNewline();
            else if (p < n && (s[p] == ' ' || s[p] == '\t'))
                ++p;
            else
                break;
        }
        if (p < n && static_cast<unsigned char>(s[p]) >= 0x80)
            doc.continuedNonAscii.push_back(p);
        return true;
    }

    bool value(const std::vector<std::string>& path, bool inArray, int depth)
    {
        if (p >= n || newlineAt(p))
            return fail(p, "expected a value");
        const char c = s[p];
        if (c == '"' || c == '\'')
            return text(c, s.compare(p, 3, std::string(3, c)) == 0, nullptr);
        if (c == '[' || c == '{') {
            if (depth >= kMaxDepth)
                return fail(p, "lists and tables nested too deeply");
            return c == '[' ? array(path, depth) : inlineTable(path, inArray, depth);
        }
        const size_t first = p;
        while (p < n && isScalarChar(s[p]))
            ++p;
        // A date and a time may be apart by one space.
        if (p - first == 10 && s[first + 4] == '-' && p + 3 < n && s[p] == ' ' && isDigit(s[p + 1]) &&
            isDigit(s[p + 2]) && s[p + 3] == ':')
            for (++p; p < n && isScalarChar(s[p]);)
                ++p;
        const std::string token = s.substr(first, p - first);
        if (token.empty() || !ScalarToken(token).valid())
            return fail(first, "not a value (a text goes in quotes)" + (token.empty() ? "" : ": " + token));
        return true;
    }

    bool array(const std::vector<std::string>& path, int depth)
    {
        ++p;
        for (;;) {
            if (!skipListSpace())
                return false;
            if (p < n && s[p] == ']') {
                ++p;
                return true;
            }
            if (!value(path, true, depth + 1) || !skipListSpace())
                return false;
            if (p < n && s[p] == ',') {
                ++p;
            } else if (p < n && s[p] == ']') {
                ++p;
                return true;
            } else {
                return fail(p, "expected , or ] in the list");
            }
        }
    }

    bool inlineTable(const std::vector<std::string>& path, bool inArray, int depth)
    {
        ++p;
        skipWs();
        if (p < n && s[p] == '}') {
            ++p;
            return true;
        }
        for (;;) {
            if (!pair(path, inArray, true, depth + 1))
                return false;
            skipWs();
            if (p < n && s[p] == ',') {
                ++p;
                skipWs();
            } else if (p < n && s[p] == '}') {
                ++p;
                return true;
            } else if (p >= n || newlineAt(p)) {
                return fail(p, "a table in braces must end on the line it begins");
            } else {
                return fail(p, "expected , or } in the table in braces");
            }
        }
    }

    // key = value, recorded with its path from the root.
    bool pair(const std::vector<std::string>& within, bool inArray, bool inBraces, int depth)
    {
        Pair found;
        found.path = within;
        if (!key(&found.path, "a key"))
            return false;
        found.keyParts = found.path.size() - within.size();
        if (p >= n || s[p] != '=')
            return afterKey("=");
        ++p;
        skipWs();
        if (!inBraces)
            valueBegin = p;
        found.value.begin = p;
        found.statement = doc.statements.size();
        found.inBraces = inBraces;
        found.inArray = inArray;
        if (!value(found.path, inArray, depth))
            return false;
        found.value.end = p;
        doc.pairs.push_back(std::move(found));
        return true;
    }

    bool topLevelPair(size_t lineBegin)
    {
        if (!pair(section, sectionInArray, false, 0) || !endOfLine("the value"))
            return false;
        Statement statement;
        statement.whole = {lineBegin, p};
        statement.line = lineOf(lineBegin);
        statement.lastLine = lineOf(p > lineBegin ? p - 1 : p);
        doc.statements.push_back(std::move(statement));
        return true;
    }

    bool header(size_t lineBegin)
    {
        Statement statement;
        ++p;
        const bool arrayOfTables = p < n && s[p] == '[';
        if (arrayOfTables)
            ++p;
        skipWs();
        if (!key(&statement.header, "the name of a table"))
            return false;
        if (p >= n || s[p] != ']' || (arrayOfTables && (p + 1 >= n || s[p + 1] != ']')))
            return afterKey(arrayOfTables ? "]]" : "]");
        p += arrayOfTables ? 2 : 1;
        if (!endOfLine("the table's name"))
            return false;
        statement.kind = arrayOfTables ? Statement::Kind::ArrayOfTables : Statement::Kind::Table;
        statement.whole = {lineBegin, p};
        statement.line = statement.lastLine = lineOf(lineBegin);
        section = statement.header;
        if (arrayOfTables)
            arrayTables.push_back(section);
        // A table under an element of an array of tables is one of several.
        sectionInArray = std::any_of(arrayTables.begin(), arrayTables.end(), [this](const auto& a) {
            return a.size() <= section.size() && std::equal(a.begin(), a.end(), section.begin());
        });
        doc.statements.push_back(std::move(statement));
        return true;
    }

    // Where a statement that is not TOML ends, read leniently from `from`
    // (its value, or the line's start): at the first line break outside
    // brackets and texts. unclosedAt is where a bracket or text opened that
    // never closes.
    Span tolerantStatement(size_t lineBegin, size_t from)
    {
        std::vector<size_t> open;
        unclosedAt = std::string::npos;
        size_t q = from;
        while (q < n) {
            const char c = s[q];
            if (c == '\n') {
                if (open.empty())
                    return {lineBegin, q + 1};
                ++q;
            } else if (c == '#') {
                while (q < n && s[q] != '\n')
                    ++q;
            } else if (c == '"' || c == '\'') {
                const std::string triple(3, c);
                if (s.compare(q, 3, triple) == 0) {
                    const size_t close = s.find(triple, q + 3);
                    if (close == std::string::npos) {
                        unclosedAt = q;
                        return {lineBegin, n};
                    }
                    q = close + 3;
                } else {
                    for (++q; q < n && s[q] != c && s[q] != '\n'; ++q)
                        if (c == '"' && s[q] == '\\' && q + 1 < n && s[q + 1] != '\n')
                            ++q;
                    if (q < n && s[q] == c)
                        ++q;
                }
            } else {
                if (c == '[' || c == '{')
                    open.push_back(q);
                else if ((c == ']' || c == '}') && !open.empty())
                    open.pop_back();
                ++q;
            }
        }
        if (!open.empty())
            unclosedAt = open.front();
        return {lineBegin, n};
    }

    // Records the statement that failed and moves past it: a header's line,
    // or a pair as far as its value goes.
    void problem(size_t lineBegin, size_t from)
    {
        Problem found;
        Span ignored{lineBegin, lineEnd(lineBegin)};
        unclosedAt = std::string::npos;
        if (from != std::string::npos && from != lineBegin)
            ignored = tolerantStatement(lineBegin, from);
        ignored.end = std::max(ignored.end, lineEnd(failAt));
        found.line = lineOf(failAt);
        found.what = failWhat;
        if (unclosedAt != std::string::npos) {
            const char c = s[unclosedAt];
            found.line = lineOf(unclosedAt);
            found.what = c == '[' ? "the list opened here is never closed"
                       : c == '{' ? "the table in braces opened here is never closed"
                                  : "the text opened here is never closed";
            found.toTheEnd = true;
            ignored.end = n;
        }
        found.ignored = ignored;
        doc.problems.push_back(std::move(found));
        p = ignored.end;
    }

    const std::string& s;
    const size_t n;
    std::vector<size_t> newlines;
    size_t p = 0;
    Document doc;

    std::vector<std::string> section;
    bool sectionInArray = false;
    std::vector<std::vector<std::string>> arrayTables;
    bool lostSection = false;

    bool failed = false;
    size_t failAt = 0;
    std::string failWhat;
    size_t valueBegin = std::string::npos;
    size_t unclosedAt = std::string::npos;
};

} // namespace

const Statement* Document::statementAt(int line) const
{
    for (const Statement& st : statements)
        if (line >= st.line && line <= st.lastLine)
            return &st;
    return nullptr;
}

Span Document::extentOf(const Statement& statement) const
{
    Span span = statement.whole;
    if (statement.kind == Statement::Kind::Pair)
        return span;
    for (const Statement& st : statements)
        if (st.whole.begin > statement.whole.begin) {
            if (st.kind != Statement::Kind::Pair)
                break;
            span.end = st.whole.end;
        }
    return span;
}

Document scan(const std::string& text)
{
    return Scanner(text).run();
}

toml::parse_result parse(const std::string& text, const Document& doc, const std::vector<Span>& dropped)
{
    std::vector<Span> left;
    for (const Problem& problem : doc.problems)
        left.push_back(problem.ignored);
    left.insert(left.end(), dropped.begin(), dropped.end());
    std::sort(left.begin(), left.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    std::string kept;
    kept.reserve(text.size());
    auto escape = doc.continuedNonAscii.begin();
    auto gap = left.begin();
    for (size_t i = 0; i < text.size();) {
        while (gap != left.end() && gap->end <= i)
            ++gap;
        if (gap != left.end() && i >= gap->begin) {
            if (text[i] == '\n')
                kept += '\n';
            ++i;
            continue;
        }
        while (escape != doc.continuedNonAscii.end() && *escape < i)
            ++escape;
        uint32_t cp = 0;
        size_t length = 0;
        if (escape != doc.continuedNonAscii.end() && *escape == i && (length = utf8At(text, i, &cp)) > 0) {
            char written[12];
            std::snprintf(written, sizeof written, cp > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(cp));
            kept += written;
            i += length;
            continue;
        }
        kept += text[i++];
    }
    return toml::parse(kept);
}

} // namespace tomltext
