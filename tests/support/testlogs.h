#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace vantrel::test
{

// What a generated capture log holds besides short event lines.
struct LogMix {
    int dumpsPerMille = 150;        // PMI dumps, a third of them cut short
    int changedDumpsPerMille = 300; // dumps whose signals differ from the dump before
    int speedsPerMille = 150;       // "VEL =   " reports, some cut by the line's end
    int faultsPerMille = 100;       // "FLT0 =  " texts, arrivals among them
    int longLinesPerMille = 5;      // over 4096 characters, now and then over 64 KiB
    int bareCrPerMille = 200;       // lines ending in a CR alone
    int loneLfPerMille = 50;        // a LF inside a line, which is part of its text
};

// A capture log of `pieces` random pieces (the same seed gives the same bytes), with
// the replay's hard cases: dumps cut short, CR-only line ends, lone LFs, long lines
// holding markers, a last line without a line end now and then.
QByteArray randomLog(quint32 seed, int pieces, const LogMix& mix = {});

// A log's lines as the replay reads them (LineFile on the bytes), with each line's
// first byte's offset; a read failure fails the running test.
struct ReadLine {
    QString text;
    qint64 offset;
};
QList<ReadLine> replayLines(const QByteArray& log);

// Capture times for a log as the capture log writes them, one run over the whole log:
// a record every few hundred bytes, each a tenth of a second to two seconds after the
// last, and now and then hours later (a car left idle, a log that spans days).
struct TimeRecord {
    qint64 offset;
    qint64 ms;
};
QList<TimeRecord> randomTimes(quint32 seed, qint64 logBytes, qint64 startMs);
// The times file's text for those records, closing at the log's end.
QByteArray timesFile(const QList<TimeRecord>& records, qint64 logBytes);
// The time of a byte: that of the last record at or before it.
qint64 timeOfByte(const QList<TimeRecord>& records, qint64 offset);

// A generated log (randomLog) written as <folder>/capture.log, with random capture times
// beside it when timed (from 2026-01-01 00:00 UTC on); its path.
QString writeLog(const QString& folder, quint32 seed, int pieces, bool timed);

} // namespace vantrel::test
