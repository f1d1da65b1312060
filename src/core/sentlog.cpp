#include "sentlog.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace vantrel
{

namespace sent
{
namespace
{
const char* const kWords[kSources] = {"button", "box",   "poll",     "stress",
                                      "key",    "break", "settings", "program"};

QByteArray numbers(std::initializer_list<qint64> values)
{
    QByteArray line;
    for (qint64 v : values) {
        if (!line.isEmpty())
            line += ' ';
        line += QByteArray::number(v);
    }
    return line;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

QString pathFor(const QString& logPath)
{
    return logPath + QLatin1String(kSuffix);
}

QByteArray sourceWord(Source source)
{
    return kWords[int(source)];
}

bool sourceFrom(QByteArrayView word, Source* source)
{
    for (int i = 0; i < kSources; ++i)
        if (word == QByteArrayView(kWords[i])) {
            *source = Source(i);
            return true;
        }
    return false;
}

QByteArray escaped(QByteArrayView text)
{
    static const char hex[] = "0123456789abcdef";
    QByteArray out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = uchar(c);
        if (u >= 0x20 && u < 0x7f && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    return out;
}

bool unescaped(QByteArrayView text, QByteArray* out)
{
    out->clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto u = uchar(text[i]);
        if (u < 0x20 || u >= 0x7f)
            return false;
        if (text[i] != '\\') {
            *out += text[i];
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x')
            return false;
        const int hi = hexDigit(text[i + 2]);
        const int lo = hexDigit(text[i + 3]);
        if (hi < 0 || lo < 0)
            return false;
        *out += char(hi << 4 | lo);
        i += 3;
    }
    return true;
}

QByteArray headerLine()
{
    return QByteArray(kHeader) + '\n';
}
QByteArray openLine(qint64 offset, qint64 ms)
{
    return "open " + numbers({offset, ms}) + '\n';
}
QByteArray closeLine(qint64 offset, qint64 ms)
{
    return "close " + numbers({offset, ms}) + '\n';
}
QByteArray pieceLine(Source source, qint64 offset, qint64 ms, QByteArrayView text)
{
    return sourceWord(source) + ' ' + numbers({offset, ms}) + ' ' + escaped(text) + '\n';
}
QByteArray pollsLine(qint64 offset, qint64 ms, qint64 count, qint64 lastOffset, qint64 lastMs,
                     QByteArrayView text)
{
    return "polls " + numbers({offset, ms, count, lastOffset, lastMs}) + ' ' + escaped(text) + '\n';
}
} // namespace sent

namespace
{
// Reads n decimal fields of at most 18 digits, each followed by a blank (or the end
// when nothing comes after): the rest is left in text.
bool fields(QByteArrayView& text, qint64* out, int n, bool textFollows)
{
    for (int k = 0; k < n; ++k) {
        qsizetype i = 0;
        qint64 v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 18)
            v = v * 10 + (text[i++] - '0');
        if (i == 0)
            return false;
        out[k] = v;
        const bool last = k == n - 1 && !textFollows;
        if (last) {
            if (i != text.size())
                return false;
            text = {};
        } else {
            if (i >= text.size() || text[i] != ' ')
                return false;
            text = text.sliced(i + 1);
        }
    }
    return true;
}
} // namespace

SentLog SentLog::parse(QByteArrayView text, qint64 logBytes, const QString& logName)
{
    SentLog log;
    log.m_present = true;
    QString why;
    // A crash can cut the last line short: it is dropped, the lines before it stand.
    const qsizetype lastEnd = text.lastIndexOf('\n');
    text = text.first(lastEnd + 1);
    qint64 lineNo = 0;
    bool runOpen = false;
    bool anyRun = false;
    qint64 closedAt = -1;
    qint64 runStart = 0;
    while (!text.isEmpty() && why.isEmpty()) {
        const qsizetype eol = text.indexOf('\n');
        QByteArrayView line = text.first(eol);
        text = text.sliced(eol + 1);
        ++lineNo;
        if (lineNo == 1) {
            if (line != QByteArrayView(sent::kHeader))
                why = QStringLiteral("its first line is not \"%1\"")
                          .arg(QLatin1String(sent::kHeader));
            continue;
        }
        const qsizetype blank = line.indexOf(' ');
        const QByteArrayView word = blank < 0 ? line : line.first(blank);
        QByteArrayView rest = blank < 0 ? QByteArrayView() : line.sliced(blank + 1);
        const auto unreadable = [&] { why = QStringLiteral("line %1 cannot be read").arg(lineNo); };
        qint64 v[5] = {};
        if (word == "open" || word == "close") {
            if (!fields(rest, v, 2, false)) {
                unreadable();
                break;
            }
            if (v[0] > logBytes) {
                why = QStringLiteral("offsets past its end");
                break;
            }
            if (word == "open") {
                if (runOpen)
                    why = QStringLiteral("a run before line %1 was not closed").arg(lineNo);
                else if (!anyRun && v[0] != 0)
                    why = QStringLiteral("its first run does not start at its beginning");
                else if (anyRun && v[0] != closedAt)
                    why = QStringLiteral("the run at line %1 does not start where the one "
                                         "before ended")
                              .arg(lineNo);
                runOpen = anyRun = true;
                runStart = v[0];
            } else {
                if (!runOpen || v[0] < runStart)
                    why = QStringLiteral("line %1 is outside a run").arg(lineNo);
                runOpen = false;
                closedAt = v[0];
            }
            continue;
        }
        SentPiece piece;
        const bool polls = word == "polls";
        if (polls)
            piece.source = sent::Source::Poll;
        else if (!sent::sourceFrom(word, &piece.source)) {
            unreadable();
            break;
        }
        if (!fields(rest, v, polls ? 5 : 2, true) || !sent::unescaped(rest, &piece.text)) {
            unreadable();
            break;
        }
        piece.offset = v[0];
        piece.ms = v[1];
        piece.count = polls ? v[2] : 1;
        piece.lastOffset = polls ? v[3] : v[0];
        piece.lastMs = polls ? v[4] : v[1];
        if (!runOpen) {
            why = QStringLiteral("line %1 is outside a run").arg(lineNo);
            break;
        }
        if (piece.offset < runStart || piece.lastOffset < piece.offset || piece.lastMs < piece.ms ||
            piece.count < 1) {
            unreadable();
            break;
        }
        if (piece.lastOffset > logBytes) {
            why = QStringLiteral("offsets past its end");
            break;
        }
        log.m_counts[size_t(piece.source)] += piece.count;
        log.m_pieces.append(std::move(piece));
    }
    if (why.isEmpty() && lineNo == 0)
        why = QStringLiteral("its first line is not \"%1\"").arg(QLatin1String(sent::kHeader));
    if (why.isEmpty() && anyRun && !runOpen && closedAt != logBytes)
        why = QStringLiteral("its last run ends at byte %1 of %2").arg(closedAt).arg(logBytes);
    if (!why.isEmpty())
        return none(why, logName, log.m_present);
    // Runs of polls are written when they end, after pieces sent meanwhile.
    std::stable_sort(log.m_pieces.begin(), log.m_pieces.end(),
                     [](const SentPiece& a, const SentPiece& b) { return a.ms < b.ms; });
    log.m_valid = true;
    return log;
}

SentLog SentLog::none(const QString& why, const QString& logName, bool present)
{
    SentLog out;
    out.m_present = present;
    out.m_notice = QStringLiteral("what was sent beside %1 does not match it (%2): it is left "
                                  "out")
                       .arg(logName, why);
    return out;
}

SentLog SentLog::forLog(const QString& logPath, qint64 logBytes)
{
    const QString name = QFileInfo(logPath).fileName();
    QFile file(sent::pathFor(logPath));
    SentLog log;
    if (!file.exists()) {
        log.m_notice = QStringLiteral("%1 has no record of what was sent").arg(name);
        return log;
    }
    log.m_present = true;
    // A day of polling takes a few hundred kilobytes; far more is no file of ours.
    constexpr qint64 kMaxBytes = 256 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes) {
        log.m_notice =
            QStringLiteral("what was sent beside %1 cannot be read (%2: %3): it is "
                           "left out")
                .arg(name, file.fileName(),
                     file.isOpen() ? QStringLiteral("larger than 256 MB") : file.errorString());
        return log;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        log.m_notice = QStringLiteral("what was sent beside %1 cannot be read (%2: %3): it is "
                                      "left out")
                           .arg(name, file.fileName(), file.errorString());
        return log;
    }
    return parse(text, logBytes, name);
}

} // namespace vantrel
