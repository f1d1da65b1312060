#pragma once

#include "pairsteps.h"
#include "result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace vantrel
{

// The capture times file beside a capture log ("<log>.times"): ASCII lines that map
// byte offsets of the log to wall-clock milliseconds since 1970. Its first line names
// the format; a logging run is "open <offset> <ms>", records "<offset> <ms>" and
// "close <offset> <ms>". A writer that stops during a run ends it "stop <offset> <ms>":
// bytes from that offset on have no times, nor does anything written after it (offset 0:
// none of the log has). The log's own bytes never change for it.
namespace capturetimes
{
inline constexpr char kHeader[] = "vantrel capture times 1";
inline constexpr char kSuffix[] = ".times";
// A record is due when this long has passed since the last one; so every byte arrived
// at most this long after its record's time.
constexpr qint64 kSpacingMs = 100;
// No time may be later than the last change of the log or of its times file by more
// than this (a clock set back during the capture writes times ahead of it).
constexpr qint64 kLatestSlackMs = 24 * 3600 * 1000;
// A run left open whose log changed later than this after its last record had lost its
// writer while the log went on: its times stop at that record.
constexpr qint64 kOpenRunSlackMs = kSpacingMs + 2000;

QString pathFor(const QString& logPath);
QByteArray headerLine();
QByteArray openLine(qint64 offset, qint64 ms);
QByteArray recordLine(qint64 offset, qint64 ms);
QByteArray closeLine(qint64 offset, qint64 ms);
QByteArray stopLine(qint64 offset, qint64 ms);

// What is known of a log and its times file beyond the size that was read.
struct Facts {
    // The log's size when its times were read: larger than the size read while a
    // capture still appends to it, whose records past that size are then left out.
    qint64 bytesNow = -1;
    // The last change of the log and of its times file (milliseconds since 1970).
    std::optional<qint64> logChangedMs;
    std::optional<qint64> timesChangedMs;
};
} // namespace capturetimes

// The capture times of one log once checked against it: used only when they match the
// log in every respect, otherwise there are none and notice() says why.
class CaptureTimes final
{
public:
    // Reads "<log>.times" for a log of logBytes bytes. A missing or unreadable file,
    // or one that does not match the log, gives no times (and says why).
    static CaptureTimes forLog(const QString& logPath, qint64 logBytes);
    using Facts = capturetimes::Facts;
    // The same from the file's text; logName is how the notice names the log.
    static CaptureTimes parse(QByteArrayView text, qint64 logBytes, const QString& logName,
                              const Facts& facts = {});

    // Times for every byte of the log.
    bool valid() const { return m_valid; }
    // Where times stop partway (the writer stopped there): bytes before it have theirs,
    // later ones none; valid() is false and notice() says so.
    std::optional<qint64> stoppedAt() const
    {
        return !m_valid && m_timedBytes > 0 ? std::optional<qint64>(m_timedBytes) : std::nullopt;
    }
    // Why there are no times ("capture.log has no capture times: ..."); empty when valid.
    const QString& notice() const { return m_notice; }
    // The time of a byte: that of the last record at or before its offset (none past
    // where the times stop).
    std::optional<qint64> timeAt(qint64 offset) const;
    // The first byte offset whose time is at least ms (the log's size when none is).
    std::optional<qint64> offsetAt(qint64 ms) const;
    std::optional<qint64> firstMs() const;
    std::optional<qint64> lastMs() const;
    qsizetype records() const { return m_marks.size(); }

    // timeAt() for offsets that never go backwards, each found from where the last one
    // was: for timing all of a log's events in one pass.
    class Walk final
    {
    public:
        explicit Walk(const CaptureTimes& times);
        std::optional<qint64> timeAt(qint64 offset)
        {
            if (m_times.m_valid && offset >= 0 && (m_next.atEnd() || qint64(m_nextMark.a) > offset))
                return m_last; // no mark passed since the last offset asked for
            return passMarks(offset);
        }

    private:
        std::optional<qint64> passMarks(qint64 offset);
        void take(); // m_next's mark into m_nextMark
        const CaptureTimes& m_times;
        PairSteps::Reader m_next; // the first mark past the offsets asked for so far
        PairSteps::Pair m_nextMark;
        std::optional<qint64> m_last;
    };

private:
    class Reader;
    static CaptureTimes none(const QString& notice);
    bool m_valid = false;
    QString m_notice;
    PairSteps m_marks; // byte offset, milliseconds: the opens and the records
    qint64 m_logBytes = 0;
    qint64 m_timedBytes = 0; // the bytes that have times: all when valid
    bool timed(qint64 offset) const { return offset >= 0 && (m_valid || offset < m_timedBytes); }
};

// A wall-clock time in milliseconds as ISO 8601 in local time with milliseconds.
QString isoTime(qint64 ms);

} // namespace vantrel
