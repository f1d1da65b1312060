// Builds a LogIndex: each part of the log read in blocks of 256 KiB by a thread of
// its own, the parts merged at the end.
#include "linecursor.h"
#include "linefile.h"
#include "logindex.h"
#include "logindexdata.h"
#include "receivedtext.h"
#include "statusscan.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrel
{

namespace
{
constexpr qint64 kLeadBytes = 64;  // bytes kept before a block: a marker begins before its '='
constexpr qint64 kTrailBytes = 64; // positions this near a block's end wait for the next one
constexpr qint64 kWindow = kReplayWindow;
constexpr int kFaultChars = marker::kFaultLength;
constexpr qint64 kReportEveryMs = 50;

// The markers as bytes, and where their first '=' is.
struct Marker {
    QByteArray text;
    qsizetype equals;
    quint64 head = 0; // the first 8 bytes, compared at once
    explicit Marker(const QByteArray& t) : text(t), equals(t.indexOf('='))
    {
        std::memcpy(&head, t.constData(), sizeof head);
    }
    // Whether the marker starts at b[start], in a buffer of `length` bytes.
    bool at(const char* b, qsizetype start, qsizetype length) const
    {
        if (start < 0 || start + text.size() > length)
            return false;
        quint64 first;
        std::memcpy(&first, b + start, sizeof first);
        return first == head && std::memcmp(b + start + sizeof head, text.constData() + sizeof head,
                                            size_t(text.size()) - sizeof head) == 0;
    }
};
const Marker& headerMarker()
{
    static const Marker m(kPmiHeader.toLatin1());
    return m;
}
const Marker& speedMarker()
{
    static const Marker m{QByteArray(marker::Speed.data(), marker::Speed.size())};
    return m;
}
const Marker& faultMarker()
{
    static const Marker m{QByteArray("FLT0 =  ")};
    return m;
}

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

// What the builder's threads share with the LogIndexer.
struct LogIndexer::Shared {
    std::atomic<bool> cancel{false};
    std::atomic<qint64> doneBytes{0};
    std::atomic<qint64> totalBytes{0};
    std::atomic<qint64> lastReport{0};
    Options options;
    std::mutex mutex;
    std::condition_variable wake;
    bool finished = false;
    std::optional<Result<std::shared_ptr<const LogIndex>>> result;

    void advance(qint64 bytes)
    {
        const qint64 done = doneBytes += bytes;
        if (!options.progress)
            return;
        const qint64 now = nowMs();
        qint64 last = lastReport;
        if (now - last >= kReportEveryMs && lastReport.compare_exchange_strong(last, now)) {
            const qint64 total = totalBytes;
            options.progress(total > 0 ? double(done) / double(total) : 1.0);
        }
    }
};

namespace
{

// What one thread found in its part; lines count from the part's start.
struct Part : LogFindings {
    DumpValues firstCells; // the part's first dump's, which the part before decides on
    DumpValues cells;      // as the part's last dump left them
    // The first and last speed reports' values, and the first and last fault reports'
    // texts' numbers, which the part before and after decide on.
    SpeedValue firstSpeed = 0;
    SpeedValue lastSpeed = 0;
    quint32 firstFault = 0;
    quint32 lastFault = 0;
    Part()
    {
        firstCells.fill(kNoCell);
        cells.fill(kNoCell);
    }
};

// Reads one part [from, to) of the log: from a line's start to a line's start or the
// file's end.
class PartScanner final
{
public:
    PartScanner(const QString& path, int fd, qint64 fileBytes, qint64 from, qint64 to,
                LogIndexer::Shared& shared, Part& out)
        : m_path(path), m_fd(fd), m_size(fileBytes), m_from(from), m_to(to),
          m_block(std::max<qint64>(shared.options.blockBytes, 2 * kTrailBytes)), m_shared(shared),
          m_out(out), m_reader(fd, path, &shared.cancel)
    {
    }
    Result<> run();

private:
    enum class Kind : quint8 { Dump, Speed, Fault };
    struct Pending {
        Kind kind;
        qint64 at;
    };

    void scan(qint64 from, qint64 to);
    void equalsAt(qsizetype i);
    Q_ALWAYS_INLINE void lineEnd(qsizetype i);
    void mark(Kind kind, qint64 at);
    void flush(qint64 textEnd);
    // The text as the replay joins the lines, from a byte on: up to n characters. With
    // rawEnd, also the offset after the CR of the last line it took, which with the
    // bytes before it decides the text; -1 when the log's end did too.
    qsizetype joined(qint64 at, char* out, qsizetype n, qint64* rawEnd = nullptr);
    qsizetype joinedSlowly(qint64 at, char* out, qsizetype n);
    bool inBuffer(qint64 at) const { return at >= m_base && at < m_base + m_len; }
    char byteAt(qint64 at) const { return m_buf[size_t(at - m_base)]; }
    void addDump(qint64 at, bool visible);
    void addSpeed(qint64 at, bool visible);
    void addFault(qint64 at, qint64 textEnd);

    QString m_path;
    int m_fd;
    qint64 m_size;
    qint64 m_from;
    qint64 m_to;
    qint64 m_block;
    LogIndexer::Shared& m_shared;
    Part& m_out;
    const Marker& m_header = headerMarker();
    const Marker& m_speed = speedMarker();
    const Marker& m_fault = faultMarker();
    std::vector<char> m_buf;
    qint64 m_base = 0; // the file offset of m_buf[0]
    qint64 m_len = 0;
    qint64 m_lineStart = 0;
    qint64 m_skipUntil = 0; // inside a header found: its '=' are not markers
    std::vector<Pending> m_pending;
    std::unordered_map<std::string, quint32> m_faultIds;
    std::array<std::array<char, kDumpChars>, 2> m_dumpText; // this dump's and the last's
    int m_dumpTurn = 0;
    qsizetype m_lastDumpLength = -1;
    QByteArray m_lastDumpBytes; // the log's bytes that made the last dump's text
    std::optional<SpeedValue> m_lastSpeed;
    std::optional<quint32> m_lastFault;
    QString m_readFailure;
    BlockReader m_reader;
};

Result<> PartScanner::run()
{
    m_buf.assign(size_t(kLeadBytes + m_block + kTrailBytes), '\0');
    m_base = m_from - kLeadBytes;
    m_len = kLeadBytes;
    m_lineStart = m_from;
    m_out.checkpoints.push(0, quint64(m_from));
    qint64 next = m_from;
    qint64 examined = m_from;
    for (;;) {
        if (m_reader.cancelled())
            return m_reader.stopped();
        const qint64 want = std::min(m_block, m_to - next);
        if (const Result<> r = m_reader.exactly(m_buf.data() + m_len, next, want); !r)
            return r;
        m_len += want;
        next += want;
        const bool last = next >= m_to;
        const qint64 until = last ? m_base + m_len : m_base + m_len - kTrailBytes;
        scan(examined, until);
        if (!m_readFailure.isEmpty())
            return Failure(m_readFailure);
        examined = until;
        m_shared.advance(want);
        if (last)
            break;
        const qint64 keep = examined - kLeadBytes;
        std::memmove(m_buf.data(), m_buf.data() + (keep - m_base), size_t(m_base + m_len - keep));
        m_len = m_base + m_len - keep;
        m_base = keep;
    }
    if (m_lineStart < m_to) { // the last line of the log, without a line end
        flush(m_to);
        ++m_out.lines;
    }
    if (!m_readFailure.isEmpty())
        return Failure(m_readFailure);
    return done();
}

void PartScanner::scan(qint64 from, qint64 to)
{
    const char* b = m_buf.data();
    qsizetype i = qsizetype(from - m_base);
    const qsizetype end = qsizetype(to - m_base);
#if defined(__SSE2__)
    // Sixteen bytes at a time, four at once: the CRs and the '=' every marker has.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i eq = _mm_set1_epi8('=');
    for (; i + 64 <= end; i += 64) {
        quint64 crs = 0;
        quint64 eqs = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i + 16 * k));
            crs |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)))) << (16 * k);
            eqs |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, eq)))) << (16 * k);
        }
        for (quint64 mask = crs | eqs; mask; mask &= mask - 1) {
            const int bit = __builtin_ctzll(mask);
            const qsizetype at = i + bit;
            if (crs >> bit & 1)
                lineEnd(at);
            else if (m_base + at >= m_skipUntil) // a header's own '=' are passed over
                equalsAt(at);
        }
    }
#endif
    for (; i < end; ++i) {
        if (b[i] == '\r')
            lineEnd(i);
        else if (b[i] == '=')
            equalsAt(i);
    }
}

void PartScanner::equalsAt(qsizetype i)
{
    const qint64 at = m_base + i;
    if (at < m_skipUntil)
        return;
    const char* b = m_buf.data();
    const auto matches = [&](const Marker& m) { return m.at(b, i - m.equals, m_len); };
    if (matches(m_header)) {
        const qint64 start = at - m_header.equals;
        mark(Kind::Dump, start);
        m_skipUntil = start + m_header.text.size();
    } else if (matches(m_speed)) {
        mark(Kind::Speed, at - m_speed.equals);
    } else if (matches(m_fault)) {
        mark(Kind::Fault, at - m_fault.equals);
    }
}

void PartScanner::lineEnd(qsizetype i)
{
    const qint64 cr = m_base + i;
    if (!m_pending.empty())
        flush(cr);
    qint64 next = cr + 1;
    if (i + 1 < m_len && m_buf[size_t(i + 1)] == '\n')
        ++next;
    m_lineStart = next;
    if (++m_out.lines % IndexData::kCheckpointLines == 0)
        m_out.checkpoints.push(quint64(m_out.lines), quint64(next));
}

void PartScanner::mark(Kind kind, qint64 at)
{
    // A marker this far before the line's end is cut off with the line's head anyway.
    if (!m_pending.empty() && m_pending.front().at < at - kReplayLineMax) {
        auto keep = m_pending.begin();
        while (keep != m_pending.end() && keep->at < at - kReplayLineMax)
            ++keep;
        m_pending.erase(m_pending.begin(), keep);
    }
    m_pending.push_back(Pending{kind, at});
}

void PartScanner::flush(qint64 textEnd)
{
    for (const Pending& p : m_pending) {
        if (textEnd - p.at > kReplayLineMax)
            continue; // not in what the replay keeps of the line
        const bool visible = textEnd - p.at <= kWindow;
        switch (p.kind) {
        case Kind::Dump:
            addDump(p.at, visible);
            break;
        case Kind::Speed:
            addSpeed(p.at, visible);
            break;
        case Kind::Fault:
            addFault(p.at, textEnd);
            break;
        }
    }
    m_pending.clear();
}

qsizetype PartScanner::joined(qint64 at, char* out, qsizetype n, qint64* rawEnd)
{
    qsizetype got = 0;
    qint64 o = at;
    const qint64 bufferEnd = m_base + m_len;
    bool lineStart = false;
    if (rawEnd)
        *rawEnd = -1;
    while (got < n && o < m_size) {
        if (!inBuffer(o))
            return joinedSlowly(at, out, n);
        // The text up to the next CR as it is.
        const char* from = m_buf.data() + (o - m_base);
        const qint64 span = std::min<qint64>(bufferEnd - o, n - got);
        const char* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(span)));
        const qint64 take = cr ? cr - from : span;
        std::memcpy(out + got, from, size_t(take));
        got += qsizetype(take);
        o += take;
        if (take > 0)
            lineStart = false;
        if (!cr)
            continue;
        qint64 after = o + 1;
        if (after < m_size) {
            if (!inBuffer(after))
                return joinedSlowly(at, out, n);
            if (byteAt(after) == '\n')
                ++after;
        }
        if (after >= m_size)
            break; // the last line's end: nothing follows it
        // The next line is joined from its start only when it is short enough to be
        // kept whole; otherwise the careful way finds where its kept part begins.
        const qint64 look = std::min({m_size, after + kReplayLineMax + 1, bufferEnd});
        const void* end = std::memchr(m_buf.data() + (after - m_base), '\r', size_t(look - after));
        if (!end && look < std::min(m_size, after + kReplayLineMax + 1))
            return joinedSlowly(at, out, n); // not decided within the buffer
        if (!end && look - after > kReplayLineMax)
            return joinedSlowly(at, out, n);
        out[got++] = '\r';
        if (got < n)
            out[got++] = '\n';
        o = after;
        lineStart = true;
    }
    if (rawEnd && got == n) {
        // Ended where a line starts: the bytes so far decide the text, given one more
        // byte (not the log's end). Inside a line: up to its CR, as its length counted.
        const void* cr = lineStart || o >= bufferEnd ? nullptr
                                                     : std::memchr(m_buf.data() + (o - m_base),
                                                                   '\r', size_t(bufferEnd - o));
        if (lineStart)
            *rawEnd = o;
        else if (cr)
            *rawEnd = m_base + (static_cast<const char*>(cr) - m_buf.data()) + 1;
    }
    return got;
}

qsizetype PartScanner::joinedSlowly(qint64 at, char* out, qsizetype n)
{
    LineCursor cursor(m_path, m_fd, at, m_size);
    LineCursor::Line line;
    qsizetype got = 0;
    bool first = true;
    while (got < n) {
        const Result<bool> more = cursor.next(&line);
        if (!more) {
            m_readFailure = more.why();
            break;
        }
        if (!*more)
            break;
        if (!first)
            for (char c : {'\r', '\n'})
                if (got < n)
                    out[got++] = c;
        first = false;
        const qsizetype take = std::min(n - got, qsizetype(line.text.size()));
        std::memcpy(out + got, line.text.constData(), size_t(take));
        got += take;
    }
    return got;
}

void PartScanner::addDump(qint64 at, bool visible)
{
    // Signals change rarely: a dump whose bytes are the last one's, as far as they
    // decided its text, changes nothing, and neither does one whose text is the same.
    const qsizetype rawLength = m_lastDumpBytes.size();
    bool same = rawLength > 0 && inBuffer(at) && inBuffer(at + rawLength) &&
                std::memcmp(m_buf.data() + (at - m_base), m_lastDumpBytes.constData(),
                            size_t(rawLength)) == 0;
    const char* text = m_dumpText[1 - m_dumpTurn].data();
    qsizetype got = m_lastDumpLength;
    if (!same) {
        char* fresh = m_dumpText[m_dumpTurn].data();
        qint64 rawEnd = -1;
        got = joined(at, fresh, kDumpChars, &rawEnd);
        same = got == m_lastDumpLength && std::memcmp(fresh, text, size_t(got)) == 0;
        text = fresh;
        m_lastDumpLength = got;
        m_dumpTurn = 1 - m_dumpTurn;
        if (rawEnd > 0 && inBuffer(rawEnd))
            m_lastDumpBytes = QByteArray(m_buf.data() + (at - m_base), qsizetype(rawEnd - at));
        else
            m_lastDumpBytes.clear();
    }
    int changed = 0;
    if (!same) {
        const DumpValues values = dumpValues(text, got);
        if (m_out.dumps.empty())
            m_out.firstCells = values;
        for (int c = 0; c < kGridCells; ++c)
            changed += values[size_t(c)] != m_out.cells[size_t(c)];
        m_out.cells = values;
    }
    if (!visible)
        addToRuns(m_out.hiddenDumps, m_out.dumps.size());
    m_out.dumps.push(quint64(m_out.lines), quint64(at));
    m_out.dumpChangeCounts.push_back(quint8(changed));
}

void PartScanner::addSpeed(qint64 at, bool visible)
{
    char text[marker::kSpeedLength];
    const qsizetype got = joined(at + marker::kValueOffset, text, marker::kSpeedLength);
    SpeedValue v = SpeedValue(got) << 24;
    for (qsizetype k = 0; k < got; ++k)
        v |= SpeedValue(quint8(text[k])) << (16 - 8 * k);
    if (!visible)
        addToRuns(m_out.hiddenSpeeds, m_out.speeds.size());
    if (m_out.speeds.empty())
        m_out.firstSpeed = v;
    m_out.lastSpeed = v;
    m_out.speeds.push(quint64(m_out.lines), quint64(at));
    m_out.speedChanges.push(!m_lastSpeed || *m_lastSpeed != v);
    m_out.stops.push(v == kStopped && m_lastSpeed && *m_lastSpeed != kStopped);
    m_lastSpeed = v;
}

void PartScanner::addFault(qint64 at, qint64 textEnd)
{
    const qint64 from = at + marker::kValueOffset;
    const qint64 length = std::min<qint64>(kFaultChars, textEnd - from);
    std::string text(size_t(std::max<qint64>(length, 0)), '\0');
    if (length > 0) {
        if (inBuffer(from) && inBuffer(from + length - 1)) {
            std::memcpy(text.data(), m_buf.data() + (from - m_base), size_t(length));
        } else if (const Result<> r = m_reader.exactly(text.data(), from, length); !r) {
            m_readFailure = r.why();
            return;
        }
    }
    auto found = m_faultIds.find(text);
    if (found == m_faultIds.end()) {
        found = m_faultIds.emplace(text, quint32(m_out.faultTexts.size())).first;
        m_out.faultTexts.push_back(QByteArray(text.data(), qsizetype(text.size())));
        m_out.newFaultCounts.push_back(0);
    }
    const quint32 id = found->second;
    if (m_out.faults.empty())
        m_out.firstFault = id;
    m_out.lastFault = id;
    m_out.faults.push(quint64(m_out.lines), quint64(at));
    const bool fresh = !m_lastFault || *m_lastFault != id;
    const LogIndex::FaultKind kind =
        LogIndex::faultKind(QByteArrayView(text.data(), qsizetype(text.size())));
    m_out.newFaults.push(fresh);
    m_out.arrivals.push(fresh && kind == LogIndex::FaultKind::Arrival);
    m_out.faultClears.push(kind == LogIndex::FaultKind::Clear);
    if (fresh)
        ++m_out.newFaultCounts[id];
    m_lastFault = id;
}

// Where the second part starts: the first line start at or after `middle`.
qint64 lineStartFrom(const QString& path, int fd, qint64 size, qint64 middle)
{
    // A CR just before the middle ends a line there; else the next CR does.
    char before = 0;
    if (middle > 0 && ::pread(fd, &before, 1, middle - 1) == 1 && before == '\r') {
        char after = 0;
        return middle < size && ::pread(fd, &after, 1, middle) == 1 && after == '\n' ? middle + 1
                                                                                     : middle;
    }
    LineCursor::Line line;
    LineCursor fromMiddle(path, fd, middle, size);
    const Result<bool> r = fromMiddle.next(&line);
    return r && *r ? line.next : size;
}

// Adds part b behind part a.
void merge(Part& a, Part& b)
{
    const quint64 lines = quint64(a.lines);
    a.checkpoints.takeAppend(b.checkpoints, lines, 0);
    // Dumps: b's first dump was compared with nothing; compare it with a's last.
    if (!b.dumps.empty()) {
        quint8 kept = 0;
        for (int c = 0; c < kGridCells; ++c)
            kept += a.cells[size_t(c)] != b.firstCells[size_t(c)];
        b.dumpChangeCounts.front() = kept;
        for (const auto& [first, end] : b.hiddenDumps)
            for (qsizetype i = first; i < end; ++i)
                addToRuns(a.hiddenDumps, a.dumps.size() + i);
        if (a.dumps.empty())
            a.firstCells = b.firstCells;
        a.cells = b.cells;
        a.dumpChangeCounts.insert(a.dumpChangeCounts.end(), b.dumpChangeCounts.begin(),
                                  b.dumpChangeCounts.end());
        b.dumpChangeCounts.clear();
        a.dumps.takeAppend(b.dumps, lines, 0);
    }
    // Speeds: b's first report is a change when it differs from a's last, and a stop
    // when a's last was moving.
    if (!b.speeds.empty()) {
        if (!a.speeds.empty()) {
            b.speedChanges.set(0, b.firstSpeed != a.lastSpeed);
            b.stops.set(0, b.firstSpeed == kStopped && a.lastSpeed != kStopped);
        }
        for (const auto& [first, end] : b.hiddenSpeeds)
            for (qsizetype i = first; i < end; ++i)
                addToRuns(a.hiddenSpeeds, a.speeds.size() + i);
        if (a.speeds.empty())
            a.firstSpeed = b.firstSpeed;
        a.lastSpeed = b.lastSpeed;
        a.speedChanges.takeAppend(b.speedChanges);
        a.stops.takeAppend(b.stops);
        a.speeds.takeAppend(b.speeds, lines, 0);
    }
    // Faults: b's texts join a's table; its first is new only when a's last differs.
    if (!b.faults.empty()) {
        std::unordered_map<std::string, quint32> known;
        for (size_t k = 0; k < a.faultTexts.size(); ++k)
            known.emplace(a.faultTexts[k].toStdString(), quint32(k));
        std::vector<quint32> to(b.faultTexts.size());
        for (size_t k = 0; k < b.faultTexts.size(); ++k) {
            const auto [it, added] =
                known.emplace(b.faultTexts[k].toStdString(), quint32(a.faultTexts.size()));
            to[k] = it->second;
            if (added) {
                a.faultTexts.push_back(b.faultTexts[k]);
                a.newFaultCounts.push_back(0);
            }
            a.newFaultCounts[to[k]] += b.newFaultCounts[k];
        }
        if (!a.faults.empty() && a.lastFault == to[b.firstFault]) {
            --a.newFaultCounts[to[b.firstFault]];
            b.newFaults.set(0, false);
            b.arrivals.set(0, false);
        }
        if (a.faults.empty())
            a.firstFault = to[b.firstFault];
        a.lastFault = to[b.lastFault];
        a.newFaults.takeAppend(b.newFaults);
        a.arrivals.takeAppend(b.arrivals);
        a.faultClears.takeAppend(b.faultClears);
        a.faults.takeAppend(b.faults, lines, 0);
    }
    a.lines += b.lines;
}

Result<std::shared_ptr<const LogIndex>> build(const QString& path, LogIndexer::Shared& shared)
{
    const QByteArray name = fileNameBytes(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(QStringLiteral("Cannot open %1: %2").arg(path, osError(errno)));
    auto data = std::make_unique<IndexData>();
    data->fd = fd; // from here on the index closes it
    data->path = path;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        return Failure(QStringLiteral("Cannot open %1: %2").arg(path, osError(errno)));
    if (!S_ISREG(st.st_mode))
        return Failure(QStringLiteral("Cannot open %1: not a file").arg(path));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const qint64 size = st.st_size;
    data->bytes = size;
    shared.totalBytes = size;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // Two parts when it is worth a thread; the second starts at a line's start.
    const LogIndexer::Options& options = shared.options;
    const qint64 middle = options.threads > 1 && size > 2 * options.blockBytes
                              ? lineStartFrom(path, fd, size, size / 2)
                              : size;
    Part first;
    Part second;
    Result<> firstDone = done();
    Result<> secondDone = done();
    {
        std::thread helper;
        if (middle < size)
            helper = std::thread([&] {
                secondDone = PartScanner(path, fd, size, middle, size, shared, second).run();
            });
        firstDone = PartScanner(path, fd, size, 0, middle, shared, first).run();
        if (!firstDone)
            shared.cancel = true; // no use finishing the other half
        if (helper.joinable())
            helper.join();
    }
    if (!firstDone)
        return Failure(firstDone.why());
    if (!secondDone)
        return Failure(secondDone.why());
    if (middle < size)
        merge(first, second);

    data->lines = first.lines;
    data->checkpoints = std::move(first.checkpoints);
    data->dumps = std::move(first.dumps);
    data->dumpChangeCounts = std::move(first.dumpChangeCounts);
    data->hiddenDumps = std::move(first.hiddenDumps);
    data->speeds = std::move(first.speeds);
    data->speedChanges = std::move(first.speedChanges);
    data->hiddenSpeeds = std::move(first.hiddenSpeeds);
    data->stops = std::move(first.stops);
    data->faults = std::move(first.faults);
    data->newFaults = std::move(first.newFaults);
    data->arrivals = std::move(first.arrivals);
    data->faultClears = std::move(first.faultClears);
    data->faultTexts = std::move(first.faultTexts);
    data->newFaultCounts = std::move(first.newFaultCounts);
    data->times = CaptureTimes::forLog(path, size);
    return std::shared_ptr<const LogIndex>(std::make_shared<LogIndex>(std::move(data)));
}

} // namespace

LogIndexer::LogIndexer(const QString& logPath) : LogIndexer(logPath, Options{}) {}

LogIndexer::LogIndexer(const QString& logPath, Options options)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->options = std::move(options);
    m_thread = std::thread([s = m_shared, logPath] {
        auto result = build(logPath, *s);
        {
            std::lock_guard lock(s->mutex);
            s->result.emplace(std::move(result));
            s->finished = true;
        }
        s->wake.notify_all();
        if (s->options.progress && s->result->ok())
            s->options.progress(1.0);
        if (s->options.finished)
            s->options.finished();
    });
}

LogIndexer::~LogIndexer()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void LogIndexer::cancel()
{
    m_shared->cancel = true;
}

double LogIndexer::progress() const
{
    const qint64 total = m_shared->totalBytes;
    if (finished())
        return 1.0;
    return total > 0 ? double(m_shared->doneBytes) / double(total) : 0.0;
}

bool LogIndexer::finished() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->finished;
}

Result<std::shared_ptr<const LogIndex>> LogIndexer::result()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->wake.wait(lock, [this] { return m_shared->finished; });
    return *m_shared->result;
}

Result<std::shared_ptr<const LogIndex>> buildLogIndex(const QString& logPath,
                                                      const LogIndexer::Options& options)
{
    LogIndexer::Shared shared;
    shared.options = options;
    return build(logPath, shared);
}

} // namespace vantrel
