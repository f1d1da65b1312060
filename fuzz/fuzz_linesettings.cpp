// The port settings parser: parseLineSettings against a reference grammar written out
// by hand, and its promises: accepted text round-trips through toString(), refused
// text always gets a description that quotes it and names the part, never both.
#include "core/linesettings.h"
#include "fuzzcheck.h"

#include <algorithm>
#include <array>

using namespace fuzzcheck;

namespace
{
// The part a refusal names: the field count, then the fields in order.
enum class Part { None, Count, Baud, Parity, Data, Stop };

struct Verdict {
    Part failed = Part::None;
    QString field; // the failing field, trimmed
    vantrel::LineSettings settings;
};

bool isBlank(char16_t c)
{
    return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0;
}

QString trim(const QString& s)
{
    qsizetype from = 0, to = s.size();
    while (from < to && isBlank(s[from].unicode()))
        ++from;
    while (to > from && isBlank(s[to - 1].unicode()))
        --to;
    return s.mid(from, to - from);
}

// A decimal number: an optional sign, then ASCII digits. Values past 9 significant
// digits are returned as -1, which no field accepts.
std::optional<long long> number(const QString& field)
{
    const QString& s = field;
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        negative = s[i++] == QLatin1Char('-');
    if (i == s.size())
        return std::nullopt;
    long long v = 0;
    int significant = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        if (v > 0 || c != '0')
            ++significant;
        v = significant > 9 ? 0 : v * 10 + (c - '0');
    }
    if (significant > 9)
        return -1;
    return negative ? -v : v;
}

Verdict reference(const QString& text)
{
    Verdict r;
    std::array<QString, 4> fields;
    size_t n = 0;
    for (QChar c : text) {
        if (c == QLatin1Char(',')) {
            if (++n == fields.size())
                break;
        } else {
            fields[n].append(c);
        }
    }
    if (n != 3) {
        r.failed = Part::Count;
        return r;
    }
    const std::array<long long, 19> bauds{110,    300,    600,    1200,   2400,  4800,  9600,
                                          14400,  19200,  28800,  38400,  56000, 57600, 115200,
                                          128000, 230400, 256000, 460800, 921600};
    const QString baud = trim(fields[0]);
    const auto b = number(baud);
    if (!b || std::find(bauds.begin(), bauds.end(), *b) == bauds.end()) {
        r.failed = Part::Baud;
        r.field = baud;
        return r;
    }
    r.settings.baud = int(*b);

    const QString parity = trim(fields[1]);
    if (parity.size() != 1 || !QStringLiteral("neomsNEOMS").contains(parity[0])) {
        r.failed = Part::Parity;
        r.field = parity;
        return r;
    }
    r.settings.parity = char(parity[0].toLower().unicode());

    const QString data = trim(fields[2]);
    const auto d = number(data);
    if (!d || *d < 5 || *d > 8) {
        r.failed = Part::Data;
        r.field = data;
        return r;
    }
    r.settings.dataBits = int(*d);

    const QString stop = trim(fields[3]);
    if (stop == QLatin1String("1"))
        r.settings.stopBits = 10;
    else if (stop == QLatin1String("1.5"))
        r.settings.stopBits = 15;
    else if (stop == QLatin1String("2"))
        r.settings.stopBits = 20;
    else {
        r.failed = Part::Stop;
        r.field = stop;
    }
    return r;
}

std::string show(const vantrel::LineSettings& s)
{
    return fuzzcheck::show(s.toString()) + " (stop tenths " + std::to_string(s.stopBits) + ")";
}

QString partWord(Part p)
{
    switch (p) {
    case Part::Count:
        return QStringLiteral("baud,parity,data,stop");
    case Part::Baud:
        return QStringLiteral("baud rate");
    case Part::Parity:
        return QStringLiteral("parity");
    case Part::Data:
        return QStringLiteral("data bits");
    case Part::Stop:
        return QStringLiteral("stop bits");
    case Part::None:
        break;
    }
    return QString();
}

// Settings no text parses to, so an untouched result shows.
vantrel::LineSettings untouched()
{
    vantrel::LineSettings s;
    s.baud = -1;
    s.parity = '?';
    s.dataBits = -1;
    s.stopBits = -1;
    return s;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = latin1(data, size);
    const auto parsed = vantrel::parseLineSettings(text);
    const bool accepted = parsed.ok();
    const Verdict want = reference(text);

    expectEqual("accepted", text, accepted, want.failed == Part::None);

    if (accepted) {
        if (!parsed.why().isEmpty())
            broken("accepted text with a description", text, show(parsed.why()));
        const vantrel::LineSettings& got = *parsed;
        if (!(got == want.settings))
            mismatch("settings", text, show(got), show(want.settings));
        const QString again = got.toString();
        const auto back = vantrel::parseLineSettings(again);
        const vantrel::LineSettings backSettings = back ? *back : untouched();
        if (!back || !(backSettings == got))
            mismatch("toString() parsed back", text, show(again) + " -> " + show(backSettings),
                     show(got));
        if (backSettings.toString() != again)
            mismatch("toString() of the parsed-back settings", text, show(backSettings.toString()),
                     fuzzcheck::show(again));
        return 0;
    }
    const QString& error = parsed.why();
    if (error.isEmpty())
        broken("refused text without a description", text, show(error));
    const QString quoted = QLatin1Char('"') + text + QLatin1Char('"');
    if (!error.contains(quoted))
        mismatch("description quotes the text", text, show(error), fuzzcheck::show(quoted));
    if (!error.contains(partWord(want.failed)) || !error.contains(want.field))
        mismatch("description names the part", text, show(error),
                 fuzzcheck::show(partWord(want.failed)) + " and " + fuzzcheck::show(want.field));
    return 0;
}
