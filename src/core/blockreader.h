#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstring>

namespace vantrel
{

// What every reader of a log takes from it at a time: large enough that a read costs
// little beside the scanning of what it brought, small enough to stay in the cache.
inline constexpr qint64 kReadBlockBytes = 256 * 1024;

// The operating system's description of errno.
QString osError(int err);

// Reads a log's bytes at given offsets with pread, so readers may share one descriptor
// (it owns none); a pipe is read in order, as it comes. A failure names the log and the system's
// reason; a cancel flag, when given, stops the read that follows it being raised.
class BlockReader final
{
public:
    // `shrunk` ends the message of a file that ends before a size it was known to have.
    BlockReader(int fd, const QString& path, const std::atomic<bool>* cancel = nullptr,
                const char* shrunk = "it became shorter while it was read");

    // Up to n bytes at `at`: how many were there (0 at the end of the file).
    Result<qint64> some(char* into, qint64 at, qint64 n) const;
    // Exactly n bytes at `at`: fewer means the file is shorter than it was.
    Result<> exactly(char* into, qint64 at, qint64 n) const;

    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    Failure stopped() const;
    Failure failed(int err) const;
    Failure shorter() const;
    const QString& path() const { return m_path; }

private:
    int m_fd;
    QString m_path;
    const std::atomic<bool>* m_cancel;
    const char* m_shrunk;
    mutable bool m_stream = false; // the descriptor cannot seek
};

// How the replay cuts a log into lines, for every reader that shows them: a line ends
// at CR and a CR LF pair is one end (a lone LF is text); a line longer than the bound
// keeps its last bytes; the last line needs no end. `bytes(at)` hands the file's
// bytes from `at` on as far as it holds them (none at the end, or a failure). Reads the
// line from *at, moves *at past its end and says where its text ends; false at the end
// of the file.
template <typename Bytes>
Result<bool> splitLine(qint64* at, qint64 maxLine, QByteArray* text, qint64* textEnd, Bytes&& bytes)
{
    text->clear();
    bool first = true;
    for (;;) {
        const Result<std::pair<const char*, qint64>> got = bytes(*at);
        if (!got)
            return Failure(got.why());
        const auto [from, rest] = *got;
        if (rest == 0) {
            *textEnd = *at;
            return !first;
        }
        first = false;
        const char* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(rest)));
        const qint64 take = cr ? cr - from : rest;
        if (take >= maxLine) {
            *text = QByteArray(from + take - maxLine, qsizetype(maxLine));
        } else {
            text->append(from, qsizetype(take));
            if (text->size() > maxLine)
                text->remove(0, text->size() - qsizetype(maxLine));
        }
        *at += take;
        if (cr) {
            *textEnd = (*at)++;
            // The LF of a CR LF pair, even in the next block.
            const Result<std::pair<const char*, qint64>> after = bytes(*at);
            if (!after)
                return Failure(after.why());
            if (after->second > 0 && *after->first == '\n')
                ++*at;
            return true;
        }
    }
}

} // namespace vantrel
