#include "filesystem.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel
{

QString osError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

namespace
{
QString describe(const QString& what, const QString& path, int err)
{
    return QStringLiteral("%1 %2: %3").arg(what, path, osError(err));
}
QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}
} // namespace

LineFile::LineFile(int fd, qint64 maxLine, const QByteArray& path, qint64 blockBytes)
    : m_fd(fd), m_maxLine(maxLine), m_path(path), m_blockBytes(blockBytes)
{
    struct stat st {
    };
    if (::fstat(m_fd, &st) == 0) {
        m_dev = quint64(st.st_dev);
        m_ino = quint64(st.st_ino);
    }
}

LineFile::~LineFile() = default;

bool LineFile::fill(QString* error)
{
    if (m_eof)
        return true;
    // A log that shrinks under us would otherwise read as a silent end.
    struct stat st {
    };
    if (::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < m_offset) {
        if (error)
            *error = QStringLiteral("The log file became shorter while it was being read");
        m_eof = true;
        return false;
    }
    if (!m_path.isEmpty()) {
        struct stat now {
        };
        const bool gone = ::stat(m_path.constData(), &now) != 0;
        const int err = gone ? errno : ENOENT;
        if (gone || quint64(now.st_dev) != m_dev || quint64(now.st_ino) != m_ino) {
            if (error)
                *error = QStringLiteral("Cannot read the log file: %1").arg(osError(err));
            m_eof = true;
            return false;
        }
    }
    m_block.resize(m_blockBytes);
    ssize_t n;
    do {
        n = ::read(m_fd, m_block.data(), static_cast<size_t>(m_blockBytes));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        const int err = errno;
        m_block.clear();
        m_pos = 0;
        m_eof = true;
        if (error)
            *error = QStringLiteral("Cannot read the log file: %1").arg(osError(err));
        return false;
    }
    m_block.resize(n);
    m_pos = 0;
    m_offset += n;
    if (n == 0)
        m_eof = true;
    return true;
}

bool LineFile::atEnd(QString* error)
{
    if (m_pos < m_block.size())
        return false;
    if (!fill(error))
        return true;
    return m_block.isEmpty();
}

bool LineFile::readLine(QString* line, QString* error)
{
    QByteArray out;
    for (;;) {
        if (m_pos >= m_block.size()) {
            if (!fill(error))
                return false;
            if (m_block.isEmpty())
                break;
        }
        const char* begin = m_block.constData() + m_pos;
        const qsizetype left = m_block.size() - m_pos;
        const char* cr = static_cast<const char*>(std::memchr(begin, '\r', left));
        const qsizetype take = cr ? cr - begin : left;
        out.append(begin, take);
        if (out.size() > m_maxLine)
            out.remove(0, out.size() - m_maxLine);
        m_pos += take;
        if (cr) {
            ++m_pos; // the CR
            if (m_pos >= m_block.size() && !fill(error))
                return false;
            if (m_pos < m_block.size() && m_block.at(m_pos) == '\n')
                ++m_pos;
            break;
        }
    }
    *line = QString::fromLatin1(out);
    return true;
}

PosixFileSystem::~PosixFileSystem()
{
    closeAll();
}

bool PosixFileSystem::exists(const QString& path, bool* found, QString* error)
{
    struct stat st {
    };
    if (::stat(native(path).constData(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            *found = false;
            return true;
        }
        if (error)
            *error = describe(QStringLiteral("Cannot look up"), path, err);
        return false;
    }
    *found = S_ISREG(st.st_mode);
    return true;
}

bool PosixFileSystem::remove(const QString& path, QString* error)
{
    if (::unlink(native(path).constData()) == 0)
        return true;
    if (error)
        *error = describe(QStringLiteral("Cannot delete"), path, errno);
    return false;
}

int PosixFileSystem::freeFile()
{
    int n = 1;
    while (m_files.count(n))
        ++n;
    return n;
}

bool PosixFileSystem::openAppend(int fileNo, const QString& path, QString* error)
{
    if (m_files.count(fileNo)) {
        if (error)
            *error = QStringLiteral("File already open");
        return false;
    }
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = describe(QStringLiteral("Cannot open"), path, errno);
        return false;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = describe(QStringLiteral("Cannot open"), path, EISDIR);
        return false;
    }
    m_files[fileNo] = Entry{fd, path, nullptr};
    return true;
}

bool PosixFileSystem::openRead(int fileNo, const QString& path, QString* error)
{
    if (m_files.count(fileNo)) {
        if (error)
            *error = QStringLiteral("File already open");
        return false;
    }
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = describe(QStringLiteral("Cannot open"), path, errno);
        return false;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = describe(QStringLiteral("Cannot open"), path, EISDIR);
        return false;
    }
    m_files[fileNo] = Entry{fd, path, std::make_unique<LineFile>(fd, kMaxLine, native(path))};
    return true;
}

qint64 PosixFileSystem::length(int fileNo)
{
    auto it = m_files.find(fileNo);
    struct stat st {
    };
    if (it == m_files.end() || ::fstat(it->second.fd, &st) != 0)
        return 0;
    return S_ISREG(st.st_mode) ? st.st_size : 0;
}

bool PosixFileSystem::write(int fileNo, qint64 pos, const QByteArray& bytes, QString* error)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end()) {
        if (error)
            *error = QStringLiteral("Bad file number");
        return false;
    }
    const Entry& e = it->second;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(e.fd, bytes.constData() + done,
                                   static_cast<size_t>(bytes.size() - done), pos + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            if (error)
                *error = describe(QStringLiteral("Cannot write"), e.path, err);
            return false;
        }
        done += n;
    }
    return true;
}

bool PosixFileSystem::atEnd(int fileNo, QString* error)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end() || !it->second.reader)
        return true;
    return it->second.reader->atEnd(error);
}

bool PosixFileSystem::readLine(int fileNo, QString* line, QString* error)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end() || !it->second.reader) {
        if (error)
            *error = QStringLiteral("Bad file number");
        return false;
    }
    return it->second.reader->readLine(line, error);
}

void PosixFileSystem::close(int fileNo)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end())
        return;
    ::close(it->second.fd);
    m_files.erase(it);
}

void PosixFileSystem::closeAll()
{
    for (auto& [no, e] : m_files)
        ::close(e.fd);
    m_files.clear();
}

} // namespace vantrel
