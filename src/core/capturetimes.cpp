#include "capturetimes.h"

#include "linefile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel
{

namespace capturetimes
{
QString pathFor(const QString& logPath)
{
    return logPath + QLatin1String(kSuffix);
}

QByteArray headerLine()
{
    return QByteArray(kHeader) + '\n';
}

namespace
{
QByteArray numbers(qint64 offset, qint64 ms)
{
    return QByteArray::number(offset) + ' ' + QByteArray::number(ms) + '\n';
}
} // namespace

QByteArray openLine(qint64 offset, qint64 ms)
{
    return "open " + numbers(offset, ms);
}
QByteArray recordLine(qint64 offset, qint64 ms)
{
    return numbers(offset, ms);
}
QByteArray closeLine(qint64 offset, qint64 ms)
{
    return "close " + numbers(offset, ms);
}
QByteArray stopLine(qint64 offset, qint64 ms)
{
    return "stop " + numbers(offset, ms);
}
} // namespace capturetimes

namespace
{
// A decimal number of at most 18 digits that ends the field; false otherwise.
bool number(const char*& p, const char* end, qint64* out)
{
    const char* start = p;
    qint64 v = 0;
    while (p < end && *p >= '0' && *p <= '9' && p - start < 18)
        v = v * 10 + (*p++ - '0');
    *out = v;
    return p > start && (p == end || *p == ' ');
}

enum class Kind { Open, Record, Close, Stop };

// Why a path that is there cannot be read as a times file.
QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return osError(EISDIR);
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    if (S_ISBLK(mode) || S_ISCHR(mode))
        return QStringLiteral("it is a device, not a file");
    return QStringLiteral("it is not a file");
}

qint64 changedMs(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}
} // namespace

// Reads a times file a piece at a time, checking each line as it comes, so a day's
// file is never held whole.
class CaptureTimes::Reader final
{
public:
    Reader(qint64 logBytes, const QString& logName, const Facts& facts)
        : m_logName(logName), m_facts(facts)
    {
        m_times.m_logBytes = logBytes;
        if (facts.logChangedMs || facts.timesChangedMs)
            m_latestMs =
                std::max(facts.logChangedMs.value_or(0), facts.timesChangedMs.value_or(0)) +
                capturetimes::kLatestSlackMs;
    }
    // False once the file is found not to match the log.
    bool feed(QByteArrayView piece)
    {
        while (!piece.isEmpty() && m_why.isEmpty() && !m_ended) {
            const qsizetype eol = piece.indexOf('\n');
            if (eol < 0) {
                m_partial += piece;
                break;
            }
            if (m_partial.isEmpty()) {
                line(piece.first(eol));
            } else {
                m_partial += piece.first(eol);
                line(m_partial);
                m_partial.clear();
            }
            piece = piece.sliced(eol + 1);
        }
        return m_why.isEmpty() && !m_ended;
    }
    CaptureTimes finish()
    {
        if (m_why.isEmpty() && !m_ended && !m_partial.isEmpty())
            m_why = QStringLiteral("line %1 has no line end").arg(m_lineNo + 1);
        if (m_why.isEmpty() && m_lineNo == 0)
            m_why = QStringLiteral("its first line is not \"%1\"")
                        .arg(QLatin1String(capturetimes::kHeader));
        if (m_why.isEmpty() && !m_anyRun)
            m_why = QStringLiteral("it holds no run");
        if (m_why.isEmpty() && !m_ended && m_runOpen && m_facts.logChangedMs &&
            *m_facts.logChangedMs > m_lastMs + capturetimes::kOpenRunSlackMs)
            m_stoppedAt = m_lastOffset; // the log went on without its times
        if (m_why.isEmpty() && !m_ended && !m_runOpen && m_closedAt != m_times.m_logBytes)
            m_why = QStringLiteral("its last run ends at byte %1 of %2")
                        .arg(m_closedAt)
                        .arg(m_times.m_logBytes);
        if (!m_why.isEmpty())
            return none(QStringLiteral("capture times of %1 do not match it (%2): lines are "
                                       "numbered instead")
                            .arg(m_logName, m_why));
        if (m_stoppedAt == 0)
            return none(QStringLiteral("capture times of %1 stop at its beginning: lines are "
                                       "numbered instead")
                            .arg(m_logName));
        if (m_stoppedAt > 0 && m_stoppedAt < m_times.m_logBytes) {
            m_times.m_timedBytes = m_stoppedAt;
            m_times.m_notice = QStringLiteral("capture times of %1 stop at byte %L2 of %L3: "
                                              "later lines have no times")
                                   .arg(m_logName)
                                   .arg(m_stoppedAt)
                                   .arg(m_times.m_logBytes);
            return std::move(m_times);
        }
        m_times.m_valid = true;
        m_times.m_timedBytes = m_times.m_logBytes;
        return std::move(m_times);
    }

private:
    void line(QByteArrayView text)
    {
        ++m_lineNo;
        if (m_lineNo == 1) {
            if (text != QByteArrayView(capturetimes::kHeader))
                m_why = QStringLiteral("its first line is not \"%1\"")
                            .arg(QLatin1String(capturetimes::kHeader));
            return;
        }
        const char* p = text.data();
        const char* const end = p + text.size();
        Kind kind = Kind::Record;
        if (text.startsWith("open ")) {
            kind = Kind::Open;
            p += 5;
        } else if (text.startsWith("close ")) {
            kind = Kind::Close;
            p += 6;
        } else if (text.startsWith("stop ")) {
            kind = Kind::Stop;
            p += 5;
        }
        qint64 offset = 0;
        qint64 ms = 0;
        if (!number(p, end, &offset) || p == end || !(++p, number(p, end, &ms)) || p != end) {
            m_why = QStringLiteral("line %1 cannot be read").arg(m_lineNo);
            return;
        }
        // A stop at 0 takes every time back (the log was emptied under its writer).
        if (m_anyRun && offset < m_lastOffset && !(kind == Kind::Stop && offset == 0)) {
            m_why = QStringLiteral("offsets go backwards at line %1").arg(m_lineNo);
            return;
        }
        if (m_anyRun && ms < m_lastMs) {
            m_why = QStringLiteral("times go backwards at line %1").arg(m_lineNo);
            return;
        }
        if (ms > m_latestMs) {
            m_why = QStringLiteral("line %1 has a time after the log's last change").arg(m_lineNo);
            return;
        }
        if (offset > m_times.m_logBytes) {
            // Written by a capture that went on after the size was taken: the records
            // up to that size hold.
            if (offset <= m_facts.bytesNow && m_runOpen)
                m_ended = true;
            else
                m_why = QStringLiteral("offsets past its end");
            return;
        }
        switch (kind) {
        case Kind::Open:
            if (m_runOpen) {
                m_why = QStringLiteral("a run before line %1 was not closed").arg(m_lineNo);
                return;
            }
            if (!m_anyRun && offset != 0) {
                m_why = QStringLiteral("its first run does not start at its beginning");
                return;
            }
            if (m_anyRun && offset != m_closedAt) {
                m_why = QStringLiteral("the run at line %1 does not start where the one before "
                                       "ended")
                            .arg(m_lineNo);
                return;
            }
            m_runOpen = true;
            m_anyRun = true;
            m_times.m_marks.push(quint64(offset), quint64(ms));
            break;
        case Kind::Record:
        case Kind::Close:
        case Kind::Stop:
            if (!m_runOpen) {
                m_why = QStringLiteral("line %1 is outside a run").arg(m_lineNo);
                return;
            }
            if (kind == Kind::Record) {
                m_times.m_marks.push(quint64(offset), quint64(ms));
            } else if (kind == Kind::Stop) {
                m_stoppedAt = offset;
                m_ended = true; // nothing after a stop is taken
            } else {
                m_runOpen = false;
                m_closedAt = offset;
            }
            break;
        }
        m_lastOffset = offset;
        m_lastMs = ms;
    }

    QString m_logName;
    Facts m_facts;
    qint64 m_latestMs = std::numeric_limits<qint64>::max();
    CaptureTimes m_times;
    QString m_why;
    QByteArray m_partial;
    qint64 m_lineNo = 0;
    qint64 m_lastOffset = 0;
    qint64 m_lastMs = 0;
    bool m_runOpen = false;
    bool m_anyRun = false;
    qint64 m_closedAt = -1;  // where the last closed run ended
    qint64 m_stoppedAt = -1; // where the times stop, when they do
    bool m_ended = false;    // read no further: a stop, or records past the size taken
};

CaptureTimes CaptureTimes::none(const QString& notice)
{
    CaptureTimes t;
    t.m_notice = notice;
    return t;
}

CaptureTimes CaptureTimes::parse(QByteArrayView text, qint64 logBytes, const QString& logName,
                                 const Facts& facts)
{
    Reader reader(logBytes, logName, facts);
    reader.feed(text);
    return reader.finish();
}

CaptureTimes CaptureTimes::forLog(const QString& logPath, qint64 logBytes)
{
    const QString name = QFileInfo(logPath).fileName();
    const QString path = capturetimes::pathFor(logPath);
    // The log is looked at before its times are read: a record is written before its
    // piece, so every change seen here has its record in what is read next.
    Facts facts;
    struct stat st {
    };
    if (::stat(fileNameBytes(logPath).constData(), &st) == 0) {
        facts.bytesNow = qint64(st.st_size);
        facts.logChangedMs = changedMs(st);
    }
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return none(
            QStringLiteral("%1 has no capture times: lines are numbered instead").arg(name));
    const auto unreadable = [&](const QString& why) {
        return none(QStringLiteral("capture times of %1 cannot be read (%2: %3): lines are "
                                   "numbered instead")
                        .arg(name, path, why));
    };
    if (fd < 0)
        return unreadable(osError(errno));
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return unreadable(osError(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return unreadable(notAFile(st.st_mode));
    }
    facts.timesChangedMs = changedMs(st);
    constexpr qsizetype kPiece = 1 << 20;
    QByteArray piece(kPiece, Qt::Uninitialized);
    Reader reader(logBytes, name, facts);
    for (;;) {
        const ssize_t n = ::read(fd, piece.data(), size_t(kPiece));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return unreadable(osError(err));
        }
        if (n == 0 || !reader.feed(QByteArrayView(piece.constData(), n)))
            break;
    }
    ::close(fd);
    return reader.finish();
}

std::optional<qint64> CaptureTimes::timeAt(qint64 offset) const
{
    if (!timed(offset))
        return std::nullopt;
    const qsizetype i = m_marks.lastAtMostA(quint64(offset));
    if (i < 0)
        return std::nullopt;
    return qint64(m_marks.at(i).b);
}

CaptureTimes::Walk::Walk(const CaptureTimes& times) : m_times(times), m_next(times.m_marks)
{
    take();
}

void CaptureTimes::Walk::take()
{
    if (!m_next.atEnd())
        m_nextMark = m_next.get();
}

std::optional<qint64> CaptureTimes::Walk::passMarks(qint64 offset)
{
    if (!m_times.timed(offset))
        return std::nullopt;
    // A few marks on are stepped over; further ones are looked up at once.
    constexpr int kSteps = 16;
    for (int step = 0; !m_next.atEnd() && qint64(m_nextMark.a) <= offset; ++step) {
        if (step == kSteps) {
            const qsizetype last = m_times.m_marks.lastAtMostA(quint64(offset));
            m_last = qint64(m_times.m_marks.at(last).b);
            m_next.advanceTo(last + 1);
            take();
            break;
        }
        m_last = qint64(m_nextMark.b);
        m_next.advance();
        take();
    }
    return m_last;
}

std::optional<qint64> CaptureTimes::offsetAt(qint64 ms) const
{
    if (!m_valid)
        return std::nullopt;
    if (ms <= 0)
        return 0;
    // The first mark at or after ms: the last one before it, and the one after that.
    const qsizetype i = m_marks.lastAtMostB(quint64(ms - 1)) + 1;
    return i >= m_marks.size() ? m_logBytes : qint64(m_marks.at(i).a);
}

std::optional<qint64> CaptureTimes::firstMs() const
{
    if (!m_valid)
        return std::nullopt;
    return qint64(m_marks.at(0).b);
}

std::optional<qint64> CaptureTimes::lastMs() const
{
    if (!m_valid)
        return std::nullopt;
    return qint64(m_marks.back().b);
}

QString isoTime(qint64 ms)
{
    // Local time, with its offset from UTC so the text stands on its own.
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace vantrel
