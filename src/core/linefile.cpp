#include "linefile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel
{

QString fileNameFromBytes(const QByteArray& bytes)
{
    QString out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char lead = p[i];
        const int more = lead < 0x80                   ? 0
                         : lead >= 0xC2 && lead < 0xE0 ? 1
                         : lead >= 0xE0 && lead < 0xF0 ? 2
                         : lead >= 0xF0 && lead < 0xF5 ? 3
                                                       : -1;
        char32_t c = more == 0   ? lead
                     : more == 1 ? lead & 0x1F
                     : more == 2 ? lead & 0x0F
                                 : lead & 0x07;
        bool ok = more >= 0 && i + more < n;
        for (int k = 1; ok && k <= more; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and past U+10FFFF are not UTF-8 either.
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        ok = ok && c >= kLeast[more] && (c < 0xD800 || c > 0xDFFF) && c <= 0x10FFFF;
        if (ok) {
            out += QString::fromUcs4(&c, 1);
            i += more + 1;
        } else {
            out += QChar(char16_t(0xDC00 + lead));
            ++i;
        }
    }
    return out;
}

QByteArray fileNameBytes(const QString& name)
{
    QByteArray out;
    qsizetype run = 0; // start of the characters not yet written
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool kept = i < name.size() && name[i].unicode() >= 0xDC80 &&
                          name[i].unicode() <= 0xDCFF && (i == 0 || !name[i - 1].isHighSurrogate());
        if (i < name.size() && !kept)
            continue;
        out += QStringView(name).mid(run, i - run).toUtf8();
        if (kept)
            out += char(name[i].unicode() - 0xDC00);
        run = i + 1;
    }
    return out;
}

LineFile::LineFile(int fd, qint64 maxLine, const QByteArray& path, qint64 blockBytes)
    : m_fd(fd), m_maxLine(maxLine), m_path(path), m_blockBytes(blockBytes),
      m_reader(fd, path.isEmpty() ? QStringLiteral("the log file") : fileNameFromBytes(path),
               &m_cancel)
{
    struct stat st {
    };
    if (::fstat(m_fd, &st) == 0) {
        m_dev = quint64(st.st_dev);
        m_ino = quint64(st.st_ino);
    }
}

LineFile::~LineFile()
{
    ::close(m_fd);
}

Result<> LineFile::fill()
{
    if (m_eof)
        return done();
    const auto stop = [this](Failure why) {
        m_block.clear();
        m_eof = true;
        return why;
    };
    if (m_reader.cancelled())
        return stop(m_reader.stopped());
    // A log that shrinks under us would otherwise read as a silent end. Only a size the
    // system reports means anything: files it makes up as they are read (/proc) say 0.
    struct stat st {
    };
    if (::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) {
        m_sizeKnown = m_sizeKnown || st.st_size > 0;
        if (m_sizeKnown && st.st_size < m_offset)
            return stop(m_reader.shorter());
    }
    if (!m_path.isEmpty()) {
        struct stat now {
        };
        const bool gone = ::stat(m_path.constData(), &now) != 0;
        const int err = gone ? errno : ENOENT;
        if (gone || quint64(now.st_dev) != m_dev || quint64(now.st_ino) != m_ino)
            return stop(m_reader.failed(err));
    }
    m_block.resize(m_blockBytes);
    const Result<qint64> n = m_reader.some(m_block.data(), m_offset, m_blockBytes);
    if (!n)
        return stop(Failure(n.why()));
    m_block.resize(*n);
    m_offset += *n;
    if (*n == 0)
        m_eof = true;
    return done();
}

bool LineFile::startAt(qint64 offset)
{
    if (m_started || ::lseek(m_fd, offset, SEEK_SET) != offset)
        return false;
    m_at = m_offset = offset;
    return true;
}

Result<std::pair<const char*, qint64>> LineFile::bytesAt(qint64 at)
{
    if (at >= m_offset)
        if (const Result<> filled = fill(); !filled)
            return Failure(filled.why());
    const qint64 rest = m_offset - at;
    if (rest <= 0 || rest > m_block.size())
        return std::pair<const char*, qint64>(nullptr, 0);
    return std::pair(m_block.constData() + (m_block.size() - rest), rest);
}

LineRead LineFile::next()
{
    m_started = true;
    QByteArray out;
    qint64 textEnd = 0;
    const Result<bool> got =
        splitLine(&m_at, m_maxLine, &out, &textEnd, [this](qint64 at) { return bytesAt(at); });
    if (!got)
        return Failure(got.why());
    if (!*got)
        return std::optional<QString>();
    return std::optional<QString>(QString::fromLatin1(out));
}

} // namespace vantrel
