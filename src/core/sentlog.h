#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>

namespace vantrel
{

// What the program sent while a capture log was written, kept beside it ("<log>.sent"):
// ASCII lines. The first names the format; a logging run is "open <offset> <ms>", then
// one line per piece sent, "<source> <offset> <ms> <text>", and "close <offset> <ms>".
// Offsets are the log's size when the piece went out, ms the wall clock (since 1970).
// Polls repeat the same command for hours, so a run of them is one line,
// "polls <offset> <ms> <count> <last offset> <last ms> <text>": count polls of the same
// text from the first to the last time. Text is Latin-1 with bytes outside 0x20..0x7e
// and the backslash written as \xHH.
namespace sent
{
enum class Source { Button, Box, Poll, Stress, Key, Break, Settings, Program };
inline constexpr int kSources = 8;

inline constexpr char kHeader[] = "vantrel sent 1";
inline constexpr char kSuffix[] = ".sent";
// A run of polls is written out once it spans this long, so a crash loses no more.
constexpr qint64 kPollRunMs = 60'000;
// A poll further than this (or than three times the run's spacing, if longer) after the
// last one of its text starts a new run, so a pause in polling shows as one.
constexpr qint64 kPollGapMs = 5'000;

QString pathFor(const QString& logPath);
// The word a source has in the file ("button", "box", "poll", ...).
QByteArray sourceWord(Source source);
// The words read back; false for a word that names no source.
bool sourceFrom(QByteArrayView word, Source* source);

QByteArray escaped(QByteArrayView text);
// False for text that is not written as escaped() writes it.
bool unescaped(QByteArrayView text, QByteArray* out);

QByteArray headerLine();
QByteArray openLine(qint64 offset, qint64 ms);
QByteArray closeLine(qint64 offset, qint64 ms);
QByteArray pieceLine(Source source, qint64 offset, qint64 ms, QByteArrayView text);
QByteArray pollsLine(qint64 offset, qint64 ms, qint64 count, qint64 lastOffset, qint64 lastMs,
                     QByteArrayView text);
} // namespace sent

// Where what is sent is recorded while a capture log is open: the one call every place
// that sends makes after the port took the bytes.
class SentRecorder
{
public:
    virtual ~SentRecorder() = default;
    virtual void sent(sent::Source source, const QByteArray& bytes) = 0;
};

// One piece sent, or a run of polls (count > 1, up to the last offset and time).
struct SentPiece {
    sent::Source source = sent::Source::Button;
    qint64 offset = 0;
    qint64 ms = 0;
    qint64 count = 1;
    qint64 lastOffset = 0;
    qint64 lastMs = 0;
    QByteArray text;
};

// What was sent beside one log, once checked against it: used only when it matches the
// log, otherwise there is nothing and notice() says why. A last line cut short by a
// crash is left out; the run it was in stays open.
class SentLog final
{
public:
    static SentLog forLog(const QString& logPath, qint64 logBytes);
    static SentLog parse(QByteArrayView text, qint64 logBytes, const QString& logName);

    bool valid() const { return m_valid; }
    // Whether the file was there at all (a missing one is no fault).
    bool present() const { return m_present; }
    const QString& notice() const { return m_notice; }
    // In the order of their times.
    const QList<SentPiece>& pieces() const { return m_pieces; }
    // Pieces sent from a source, each poll of a run counted.
    qint64 count(sent::Source source) const { return m_counts[size_t(source)]; }

private:
    static SentLog none(const QString& why, const QString& logName, bool present);
    bool m_valid = false;
    bool m_present = false;
    QString m_notice;
    QList<SentPiece> m_pieces;
    std::array<qint64, sent::kSources> m_counts{};
};

} // namespace vantrel
