#pragma once

#include "blockreader.h"
#include "result.h"
#include "sentlog.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace vantrel
{

// Where literal text was found in a log: its first byte and its line (from 1). A hit in
// a command sent is at the log's size when it went out, and names its place in the list
// of what was sent.
struct SearchHit {
    qint64 offset = 0;
    qint64 line = 0;
    qsizetype sent = -1; // -1 for text the log holds
};

// Every place the text is in the log, counted whole, none overlapping another; the first kKeptHits
// kept in order for going from hit to hit.
struct SearchResult {
    static constexpr qsizetype kKeptHits = 1000000;
    qint64 count = 0;
    qint64 sentCount = 0; // of count, the commands sent
    std::vector<SearchHit> hits;
    // The first kept hit after a byte offset, and the last one before it.
    std::optional<SearchHit> next(qint64 offset) const;
    std::optional<SearchHit> previous(qint64 offset) const;
};

struct SearchOptions {
    bool ignoreCase = false; // letters of Latin-1 in either case
    qint64 blockBytes = kReadBlockBytes;
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(qint64 doneBytes)> progress; // after each block
};

// Looks for the text (Latin-1 bytes) in a whole log, a block at a time, so a log of
// any size is never held whole; a hit begins after the one before ends (as "??" is in
// "???" once); each hit goes to onHit in order, which may answer
// false to stop. Hands back how many there were, or why the log could not be read.
Result<qint64> searchLog(const QString& path, const QByteArray& text, const SearchOptions& options,
                         const std::function<bool(const SearchHit&)>& onHit);

// The commands sent that hold the text, under searchLog's case rule: each piece one hit
// however often the text is in it, at its offset and the line lineOf gives that offset.
// Polls are left out: their runs repeat one text all day, so each would be a hit a minute.
std::vector<SearchHit> findSent(const QList<SentPiece>& pieces, const QByteArray& text,
                                bool ignoreCase, const std::function<qint64(qint64)>& lineOf);

// The log's hits and the sent ones in one list in the log's order (the log's first where
// both are at one offset), the count both together, the first kKeptHits kept.
SearchResult mergeHits(const SearchResult& log, const std::vector<SearchHit>& sent);

// Runs searchLog on a thread of its own for the replay screen: progress as a
// fraction, stopped at once by cancel() or by being destroyed.
class LogSearch final
{
public:
    // `finished` runs on the search's thread once the result is there.
    LogSearch(const QString& path, const QByteArray& text, bool ignoreCase,
              std::function<void()> finished = {});
    ~LogSearch();
    LogSearch(const LogSearch&) = delete;
    LogSearch& operator=(const LogSearch&) = delete;

    void cancel() { m_shared->cancel = true; }
    double progress() const;
    bool finished() const { return m_shared->finished; }
    // Waits for the end (not from `finished`, which runs on the search's own thread):
    // the hits, or why there are none.
    const Result<SearchResult>& result();

private:
    struct Shared {
        std::atomic<bool> cancel{false};
        std::atomic<bool> finished{false};
        std::atomic<qint64> done{0};
        qint64 total = 0;
        std::optional<Result<SearchResult>> result;
    };
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace vantrel
