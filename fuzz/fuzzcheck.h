#pragma once

// What the fuzzers share: fuzz bytes as Latin-1 text, readable printing of both sides
// of a mismatch, and the stop that libFuzzer records as a crash with its input.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace fuzzcheck
{

// One character per byte, each byte its own code point (Latin-1).
inline QString latin1(const uint8_t* data, size_t size)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The text in quotes, every character outside printable ASCII as \xNN (or \u{NNNN}),
// so CR, LF and backspaces show where they are.
inline std::string show(const QString& s)
{
    std::string out = "\"";
    char buf[16];
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\') {
            out += '\\';
            out += char(u);
        } else if (u >= 0x20 && u < 0x7f) {
            out += char(u);
        } else if (u < 0x100) {
            std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(u));
            out += buf;
        } else {
            std::snprintf(buf, sizeof buf, "\\u{%04x}", unsigned(u));
            out += buf;
        }
    }
    out += '"';
    return out;
}

inline std::string show(const std::optional<QString>& s)
{
    return s ? show(*s) : std::string("(none)");
}

inline std::string show(bool b)
{
    return b ? "true" : "false";
}

// Prints what was checked, the input and both sides, then stops the run so libFuzzer
// keeps the input as a crash.
[[noreturn]] inline void mismatch(const char* what, const QString& input,
                                  const std::string& program, const std::string& reference)
{
    std::fprintf(
        stderr, "\n==== MISMATCH: %s\n  input (%lld chars): %s\n  program:   %s\n  reference: %s\n",
        what, static_cast<long long>(input.size()), show(input).c_str(), program.c_str(),
        reference.c_str());
    std::fflush(stderr);
    std::abort();
}

template <typename T>
void expectEqual(const char* what, const QString& input, const T& program, const T& reference)
{
    if (!(program == reference))
        mismatch(what, input, show(program), show(reference));
}

// An invariant that does not hold: the program's side is the offending output.
[[noreturn]] inline void broken(const char* what, const QString& input, const std::string& output)
{
    mismatch(what, input, output, "(the invariant)");
}

} // namespace fuzzcheck
