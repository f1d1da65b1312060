#include "capturetimes.h"

#include "linefile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
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

enum class Kind { Open, Record, Close };
} // namespace

CaptureTimes CaptureTimes::none(const QString& notice)
{
    CaptureTimes t;
    t.m_notice = notice;
    return t;
}

CaptureTimes CaptureTimes::parse(QByteArrayView text, qint64 logBytes, const QString& logName)
{
    const auto mismatch = [&](const QString& why) {
        return none(QStringLiteral("capture times of %1 do not match it (%2): lines are "
                                   "numbered instead")
                        .arg(logName, why));
    };
    const QByteArrayView header(capturetimes::kHeader);
    if (!text.startsWith(header) || text.size() <= header.size() || text[header.size()] != '\n')
        return mismatch(QStringLiteral("its first line is not \"%1\"")
                            .arg(QLatin1String(capturetimes::kHeader)));
    CaptureTimes t;
    t.m_logBytes = logBytes;
    const char* p = text.data() + header.size() + 1;
    const char* const end = text.data() + text.size();
    qint64 lineNo = 1;
    qint64 lastOffset = 0;
    qint64 lastMs = 0;
    bool runOpen = false;
    bool anyRun = false;
    qint64 closedAt = -1; // where the last closed run ended
    while (p < end) {
        ++lineNo;
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!eol)
            return mismatch(QStringLiteral("line %1 has no line end").arg(lineNo));
        Kind kind = Kind::Record;
        if (eol - p > 5 && std::memcmp(p, "open ", 5) == 0) {
            kind = Kind::Open;
            p += 5;
        } else if (eol - p > 6 && std::memcmp(p, "close ", 6) == 0) {
            kind = Kind::Close;
            p += 6;
        }
        qint64 offset = 0;
        qint64 ms = 0;
        if (!number(p, eol, &offset) || p == eol || !(++p, number(p, eol, &ms)) || p != eol)
            return mismatch(QStringLiteral("line %1 cannot be read").arg(lineNo));
        p = eol + 1;
        const bool started = anyRun;
        if (started && offset < lastOffset)
            return mismatch(QStringLiteral("offsets go backwards at line %1").arg(lineNo));
        if (started && ms < lastMs)
            return mismatch(QStringLiteral("times go backwards at line %1").arg(lineNo));
        if (offset > logBytes)
            return mismatch(QStringLiteral("offsets past its end"));
        switch (kind) {
        case Kind::Open:
            if (runOpen)
                return mismatch(QStringLiteral("a run before line %1 was not closed").arg(lineNo));
            if (!started && offset != 0)
                return mismatch(QStringLiteral("its first run does not start at its beginning"));
            if (started && offset != closedAt)
                return mismatch(
                    QStringLiteral("the run at line %1 does not start where the one before "
                                   "ended")
                        .arg(lineNo));
            runOpen = true;
            anyRun = true;
            t.m_marks.push(quint64(offset), quint64(ms));
            break;
        case Kind::Record:
            if (!runOpen)
                return mismatch(QStringLiteral("line %1 is outside a run").arg(lineNo));
            t.m_marks.push(quint64(offset), quint64(ms));
            break;
        case Kind::Close:
            if (!runOpen)
                return mismatch(QStringLiteral("line %1 is outside a run").arg(lineNo));
            runOpen = false;
            closedAt = offset;
            break;
        }
        lastOffset = offset;
        lastMs = ms;
    }
    if (!anyRun)
        return mismatch(QStringLiteral("it holds no run"));
    if (!runOpen && closedAt != logBytes)
        return mismatch(
            QStringLiteral("its last run ends at byte %1 of %2").arg(closedAt).arg(logBytes));
    t.m_valid = true;
    return t;
}

CaptureTimes CaptureTimes::forLog(const QString& logPath, qint64 logBytes)
{
    const QString name = QFileInfo(logPath).fileName();
    const QString path = capturetimes::pathFor(logPath);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return none(
            QStringLiteral("%1 has no capture times: lines are numbered instead").arg(name));
    const auto unreadable = [&](int err) {
        return none(QStringLiteral("capture times of %1 cannot be read (%2: %3): lines are "
                                   "numbered instead")
                        .arg(name, path, osError(err)));
    };
    if (fd < 0)
        return unreadable(errno);
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno ? errno : EINVAL;
        ::close(fd);
        return unreadable(err);
    }
    QByteArray text(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, size_t(text.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return unreadable(err);
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    text.truncate(got);
    return parse(text, logBytes, name);
}

std::optional<qint64> CaptureTimes::timeAt(qint64 offset) const
{
    if (!m_valid || offset < 0)
        return std::nullopt;
    const qsizetype i = m_marks.lastAtMostA(quint64(offset));
    if (i < 0)
        return std::nullopt;
    return qint64(m_marks.at(i).b);
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
