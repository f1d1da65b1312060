#pragma once

#include "blockreader.h"
#include "capturetimes.h"
#include "pmidump.h"
#include "replaystate.h"
#include "result.h"
#include "statusscan.h"
#include "timelinesummary.h"

#include <QList>
#include <QPair>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace vantrel
{

// Where something is in a log: its line (from 1) and its first byte's offset.
struct LogPlace {
    qint64 line = 0;
    qint64 offset = 0;
};

struct IndexData;

// What one reading of a capture log found, to reach any line, dump, speed report or
// fault without reading the log from its start. Built by LogIndexer; every question is
// const and reads the log with pread only, so any thread may ask without locks.
// Lines are counted from 1 as the replay plays them.
class LogIndex final
{
public:
    // A fault report is "FLT0 =  " and the rest of its line (the first 76 characters,
    // as the car screen's field); a new fault is a report whose text differs from the
    // one before; an arrival is a new fault "ARRIVED AT <landing>"; a stop is a speed
    // report of "  0" after one that was not.
    enum class Event { Dump, Speed, Fault, NewFault, Arrival, Stop };
    using FaultKind = vantrel::FaultKind;
    static FaultKind faultKind(QByteArrayView text) { return vantrel::faultKind(text); }

    explicit LogIndex(std::unique_ptr<IndexData> data);
    ~LogIndex();
    LogIndex(const LogIndex&) = delete;
    LogIndex& operator=(const LogIndex&) = delete;

    const QString& path() const;
    qint64 bytes() const;
    qint64 lines() const;
    // The capture times, when the log has valid ones; otherwise the notice says why.
    const CaptureTimes& times() const;

    qsizetype count(Event kind) const;
    LogPlace place(Event kind, qsizetype i) const;
    // The first event on a line after the given one, the last on a line before it.
    std::optional<qsizetype> next(Event kind, qint64 afterLine) const;
    std::optional<qsizetype> previous(Event kind, qint64 beforeLine) const;

    // Dump i's 75 cells, from its header on in the text as the replay joins the lines
    // (each cell two characters, fewer where the log ends sooner).
    std::array<QString, kGridCells> dumpCells(qsizetype i) const;
    // Every dump in order with its cells and the cells that changed since the dump
    // before (all of them at the first); stops when visit answers false. Reads the
    // dumps that change something again from the log: fails when that read does.
    using DumpVisit = std::function<bool(qsizetype i, const std::array<QString, kGridCells>& cells,
                                         const std::vector<int>& changed)>;
    Result<> walkDumps(const DumpVisit& visit) const;
    // Speed report i's three characters after "VEL =   " (fewer at the log's end).
    QString speedText(qsizetype i) const;
    // The text of fault report i (Event::Fault), or of new fault i (Event::NewFault).
    QString faultText(Event kind, qsizetype i) const;
    // Every text of FaultKind::Fault with how often it came up as a new fault, most
    // frequent first.
    QList<QPair<QString, qint64>> faultCounts() const;

    // The byte offset of a line's first byte, and the line holding a byte.
    Result<qint64> lineOffset(qint64 line) const;
    Result<qint64> lineAt(qint64 offset) const;
    // A line's text as the replay shows it (its last 4096 characters).
    Result<QString> lineText(qint64 line) const;
    // A line's time (its first byte's), none without valid capture times.
    Result<std::optional<qint64>> lineTime(qint64 line) const;
    // The first line whose time is at least ms (the last line when none is); a failure
    // when the log has no valid capture times.
    Result<qint64> lineAtTime(qint64 ms) const;
    // The last line whose time is at most ms (line 1 when none is); a failure when the
    // log has no valid capture times.
    Result<qint64> lineUpTo(qint64 ms) const;
    // The line at a fraction 0..1 of the log's lines (at least line 1 when there are any).
    qint64 lineAtFraction(double fraction) const;

    // What the replay screen shows after playing `line` lines of this log, when it
    // showed atLoad when the log was loaded. Reads only the lines near those it needs.
    Result<ReplayState> stateAfter(qint64 line, const ReplayState& atLoad) const;

    // The log summed up along one axis for a timeline, built with the index.
    const TimelineSummary& timeline() const;
    // The same summary built again (the benchmark times the building alone).
    std::unique_ptr<const TimelineSummary> buildTimeline() const;

private:
    std::unique_ptr<IndexData> m_d;
    std::unique_ptr<const TimelineSummary> m_timeline; // from m_d, once it is whole
};

// Builds a LogIndex on threads of its own: progress as a fraction, stopped at once by
// cancel() or by being destroyed (closing the replay screen, loading another log).
class LogIndexer final
{
public:
    struct Options {
        // Threads that read a part each (the log is split only when it is larger than
        // two blocks), and the bytes each reads at a time.
        int threads = 2;
        qint64 blockBytes = kReadBlockBytes;
        // Called on a worker thread, at most about 20 times a second.
        std::function<void(double fraction)> progress;
        // Called on a worker thread once the result is there (also after a failure).
        std::function<void()> finished;
    };

    explicit LogIndexer(const QString& logPath);
    LogIndexer(const QString& logPath, Options options);
    // Stops the work and waits for it: a block of 256 KiB at most.
    ~LogIndexer();
    LogIndexer(const LogIndexer&) = delete;
    LogIndexer& operator=(const LogIndexer&) = delete;

    void cancel();
    double progress() const;
    bool finished() const;
    // Waits for the end: the index, or why there is none.
    Result<std::shared_ptr<const LogIndex>> result();

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

// Builds the index and waits for it (the command line program, tests).
Result<std::shared_ptr<const LogIndex>> buildLogIndex(const QString& logPath,
                                                      const LogIndexer::Options& options = {});

} // namespace vantrel
