#include "logsearch.h"

#include "linefile.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrel
{

namespace
{
// Latin-1 capitals to small letters: A-Z and À-Þ but ×.
constexpr std::array<char, 256> foldTable()
{
    std::array<char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        t[size_t(c)] = char(capital ? c + 0x20 : c);
    }
    return t;
}
constexpr std::array<char, 256> kFold = foldTable();

void fold(const char* from, char* to, qsizetype n)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi8('A');
    const __m128i latin = _mm_set1_epi8(char(0xC0));
    const __m128i times = _mm_set1_epi8(char(0xD7));
    const __m128i small = _mm_set1_epi8(0x20);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i ta = _mm_sub_epi8(v, a);
        const __m128i upper = _mm_cmpeq_epi8(_mm_min_epu8(ta, _mm_set1_epi8(25)), ta);
        const __m128i tl = _mm_sub_epi8(v, latin);
        const __m128i accented = _mm_andnot_si128(
            _mm_cmpeq_epi8(v, times), _mm_cmpeq_epi8(_mm_min_epu8(tl, _mm_set1_epi8(0x1E)), tl));
        const __m128i add = _mm_and_si128(_mm_or_si128(upper, accented), small);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_add_epi8(v, add));
    }
#endif
    for (; i < n; ++i)
        to[i] = kFold[quint8(from[i])];
}

qint64 countCr(const char* p, qsizetype n)
{
    qint64 count = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    // Each lane counts its CRs for up to 255 rounds, then the lanes are summed.
    const __m128i cr = _mm_set1_epi8('\r');
    while (i + 16 <= n) {
        __m128i lanes = _mm_setzero_si128();
        for (int round = 0; round < 255 && i + 16 <= n; ++round, i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, cr));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    }
#endif
    for (; i < n; ++i)
        count += p[i] == '\r';
    return count;
}
} // namespace

std::optional<SearchHit> SearchResult::next(qint64 offset) const
{
    const auto it = std::upper_bound(hits.begin(), hits.end(), offset,
                                     [](qint64 o, const SearchHit& h) { return o < h.offset; });
    if (it == hits.end())
        return std::nullopt;
    return *it;
}

std::optional<SearchHit> SearchResult::previous(qint64 offset) const
{
    const auto it = std::lower_bound(hits.begin(), hits.end(), offset,
                                     [](const SearchHit& h, qint64 o) { return h.offset < o; });
    if (it == hits.begin())
        return std::nullopt;
    return *(it - 1);
}

Result<qint64> searchLog(const QString& path, const QByteArray& text, const SearchOptions& options,
                         const std::function<bool(const SearchHit&)>& onHit)
{
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(QStringLiteral("Cannot open %1: %2").arg(path, osError(errno)));
    struct Closer { // the descriptor closes however the search ends
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Failure(QStringLiteral("Cannot open %1: not a file").arg(path));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (text.isEmpty())
        return qint64(0);
    QByteArray needle = text;
    if (options.ignoreCase)
        fold(text.constData(), needle.data(), text.size());
    const qsizetype carry = needle.size() - 1; // a hit may begin this far before a block
    const qsizetype block = std::max<qsizetype>(qsizetype(options.blockBytes), needle.size());
    std::vector<char> raw(size_t(carry + block));
    std::vector<char> folded(options.ignoreCase ? raw.size() : 0);
    qint64 count = 0;
    qint64 crs = 0;     // CRs before `counted`
    qint64 counted = 0; // file offset up to which CRs are counted
    qsizetype held = 0; // bytes at the buffer's start from the block before
    qint64 readAt = 0;  // file offset of the next byte to read
    char before = 0;    // the byte before the buffer's first
    qint64 resume = 0;  // file offset where the next hit may begin: hits never overlap
    const BlockReader reader(fd, path, options.cancel);
    for (;;) {
        const Result<qint64> got = reader.some(raw.data() + held, readAt, block);
        if (!got)
            return Failure(got.why());
        const qint64 n = *got;
        if (n == 0)
            break;
        const qint64 base = readAt - held; // file offset of raw[0]
        const qsizetype size = held + qsizetype(n);
        const char* hay = raw.data();
        if (options.ignoreCase) {
            fold(raw.data() + held, folded.data() + held, n);
            hay = folded.data();
        }
        const char* from = hay + std::max<qint64>(0, resume - base);
        const char* const end = hay + size;
        while (from + needle.size() <= end) {
            const char* hit = static_cast<const char*>(
                ::memmem(from, size_t(end - from), needle.constData(), size_t(needle.size())));
            if (!hit)
                break;
            const qsizetype at = hit - hay;
            const qint64 offset = base + at;
            qint64 line;
            if (offset >= counted) {
                crs += countCr(raw.data() + (counted - base), qsizetype(offset - counted));
                counted = offset;
                line = crs + 1;
            } else { // begins among the held bytes, already counted past
                line = crs + 1 - countCr(raw.data() + at, qsizetype(counted - offset));
            }
            // The LF of a CR LF pair belongs to the line the CR ends.
            const char prior = at > 0 ? raw[size_t(at - 1)] : before;
            if (raw[size_t(at)] == '\n' && prior == '\r')
                --line;
            ++count;
            if (!onHit(SearchHit{offset, line}))
                return count;
            from = hit + needle.size();
            resume = offset + needle.size();
        }
        crs += countCr(raw.data() + (counted - base), qsizetype(base + size - counted));
        counted = base + size;
        readAt += n;
        if (options.progress)
            options.progress(readAt);
        const qsizetype keep = std::min<qsizetype>(carry, size);
        before = size > keep ? raw[size_t(size - keep - 1)] : before;
        std::memmove(raw.data(), raw.data() + size - keep, size_t(keep));
        if (options.ignoreCase)
            std::memmove(folded.data(), folded.data() + size - keep, size_t(keep));
        held = keep;
    }
    return count;
}

std::vector<SearchHit> findSent(const QList<SentPiece>& pieces, const QByteArray& text,
                                bool ignoreCase, const std::function<qint64(qint64)>& lineOf)
{
    std::vector<SearchHit> hits;
    if (text.isEmpty())
        return hits;
    QByteArray needle = text;
    if (ignoreCase)
        fold(text.constData(), needle.data(), text.size());
    QByteArray folded;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const SentPiece& piece = pieces[i];
        if (piece.source == sent::Source::Poll)
            continue;
        const QByteArray* hay = &piece.text;
        if (ignoreCase) {
            folded.resize(piece.text.size());
            fold(piece.text.constData(), folded.data(), piece.text.size());
            hay = &folded;
        }
        if (hay->contains(needle))
            hits.push_back(SearchHit{piece.offset, lineOf(piece.offset), i});
    }
    return hits;
}

SearchResult mergeHits(const SearchResult& log, const std::vector<SearchHit>& sent)
{
    SearchResult merged;
    std::vector<SearchHit> ordered = sent;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.offset < b.offset; });
    merged.count = log.count + qint64(ordered.size());
    merged.sentCount = qint64(ordered.size());
    merged.hits.reserve(
        std::min(log.hits.size() + ordered.size(), size_t(SearchResult::kKeptHits)));
    // Log hits first at one offset: the text received before the command went out.
    std::merge(log.hits.begin(), log.hits.end(), ordered.begin(), ordered.end(),
               std::back_inserter(merged.hits),
               [](const SearchHit& s, const SearchHit& l) { return s.offset < l.offset; });
    if (qsizetype(merged.hits.size()) > SearchResult::kKeptHits)
        merged.hits.resize(size_t(SearchResult::kKeptHits));
    return merged;
}

LogSearch::LogSearch(const QString& path, const QByteArray& text, bool ignoreCase,
                     std::function<void()> finished)
    : m_shared(std::make_shared<Shared>())
{
    struct stat st {
    };
    if (::stat(fileNameBytes(path).constData(), &st) == 0)
        m_shared->total = st.st_size;
    m_thread = std::thread([s = m_shared, path, text, ignoreCase, finished] {
        SearchOptions options;
        options.ignoreCase = ignoreCase;
        options.cancel = &s->cancel;
        options.progress = [s](qint64 done) { s->done = done; };
        SearchResult found;
        const Result<qint64> counted = searchLog(path, text, options, [&](const SearchHit& h) {
            if (qsizetype(found.hits.size()) < SearchResult::kKeptHits)
                found.hits.push_back(h);
            return true;
        });
        if (counted) {
            found.count = *counted;
            s->result.emplace(std::move(found));
        } else {
            s->result.emplace(Failure(counted.why()));
        }
        s->finished = true;
        if (finished)
            finished();
    });
}

LogSearch::~LogSearch()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

double LogSearch::progress() const
{
    if (m_shared->finished)
        return 1.0;
    return m_shared->total > 0 ? double(m_shared->done) / double(m_shared->total) : 0.0;
}

const Result<SearchResult>& LogSearch::result()
{
    if (m_thread.joinable())
        m_thread.join();
    return *m_shared->result;
}

} // namespace vantrel
