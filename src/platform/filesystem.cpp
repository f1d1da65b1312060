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

LineFile::~LineFile()
{
    ::close(m_fd);
}

LineFile::Next LineFile::next(QString* text)
{
    QString why;
    if (atEnd(&why)) {
        if (why.isEmpty())
            return Next::End;
        *text = why;
        return Next::Failed;
    }
    if (!readLine(text, &why)) {
        *text = why;
        return Next::Failed;
    }
    return Next::Line;
}

bool LineFile::fill(QString* error)
{
    if (m_eof)
        return true;
    if (m_cancel) {
        if (error)
            *error = QStringLiteral("Reading the log file was stopped");
        m_eof = true;
        return false;
    }
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

namespace
{
// What a path is, in words, when it cannot hold a log.
QString notALog(mode_t mode)
{
    if (S_ISDIR(mode))
        return osError(EISDIR);
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    if (S_ISBLK(mode))
        return QStringLiteral("it is a disk device, not a file");
    return {};
}
} // namespace

bool PosixFileSystem::openForWriting(Entry& e, QString* error)
{
    const QByteArray name = native(e.path);
    const auto refuse = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(e.path, why);
        return false;
    };
    // A named pipe with no reader, or a line that waits for its carrier, would hold
    // the whole program in open(): look first, and never wait in the open itself.
    struct stat st {
    };
    if (::stat(name.constData(), &st) == 0 && !notALog(st.st_mode).isEmpty())
        return refuse(notALog(st.st_mode));
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0)
        return refuse(osError(errno));
    if (::fstat(fd, &st) != 0 || !notALog(st.st_mode).isEmpty()) {
        const QString why = notALog(st.st_mode).isEmpty() ? osError(errno) : notALog(st.st_mode);
        ::close(fd);
        return refuse(why);
    }
    if (S_ISREG(st.st_mode))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (e.fd >= 0)
        ::close(e.fd);
    e.fd = fd;
    e.dev = quint64(st.st_dev);
    e.ino = quint64(st.st_ino);
    e.writePos = S_ISREG(st.st_mode) ? st.st_size : 0;
    e.lost = false;
    return true;
}

bool PosixFileSystem::stillAtPath(const Entry& e)
{
    struct stat st {
    };
    return ::stat(native(e.path).constData(), &st) == 0 && quint64(st.st_dev) == e.dev &&
           quint64(st.st_ino) == e.ino;
}

bool PosixFileSystem::openAppend(int fileNo, const QString& path, QString* error)
{
    if (m_files.count(fileNo)) {
        if (error)
            *error = QStringLiteral("File already open");
        return false;
    }
    Entry e;
    e.path = path;
    if (!openForWriting(e, error))
        return false;
    m_files[fileNo] = std::move(e);
    return true;
}

bool PosixFileSystem::openRead(int fileNo, const QString& path, QString* error)
{
    if (m_files.count(fileNo)) {
        if (error)
            *error = QStringLiteral("File already open");
        return false;
    }
    // Not waiting for a writer: a named pipe put at the path is refused, not read.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error = describe(QStringLiteral("Cannot open"), path, errno);
        return false;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("Cannot open %1: %2")
                         .arg(path, notALog(st.st_mode).isEmpty() ? QStringLiteral("not a file")
                                                                  : notALog(st.st_mode));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    Entry e;
    e.path = path;
    e.reader = std::make_shared<LineFile>(fd, kMaxLine, native(path));
    m_files[fileNo] = std::move(e);
    return true;
}

std::shared_ptr<LineFile> PosixFileSystem::lines(int fileNo)
{
    auto it = m_files.find(fileNo);
    return it == m_files.end() ? nullptr : it->second.reader;
}

bool PosixFileSystem::write(int fileNo, const QByteArray& bytes, QString* error)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end()) {
        if (error)
            *error = QStringLiteral("Bad file number");
        return false;
    }
    Entry& e = it->second;
    if (e.lost && !openForWriting(e, error))
        return false;
    // Nothing goes into a file that was deleted or moved away from its path.
    const auto gone = [&] {
        e.lost = true;
        if (error)
            *error = QStringLiteral("Cannot write %1: the file was deleted or moved").arg(e.path);
        return false;
    };
    if (!stillAtPath(e))
        return gone();
    qint64 done = 0;
    bool seekable = true;
    while (done < bytes.size()) {
        const char* from = bytes.constData() + done;
        const auto left = static_cast<size_t>(bytes.size() - done);
        const ssize_t n =
            seekable ? ::pwrite(e.fd, from, left, e.writePos + done) : ::write(e.fd, from, left);
        if (n < 0 && errno == ESPIPE && seekable) {
            seekable = false; // a line or a terminal takes bytes in order only
            continue;
        }
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
    // Deleted while the piece was written: the piece is not in any file anybody sees.
    struct stat st {
    };
    if (::fstat(e.fd, &st) == 0 && st.st_nlink == 0)
        return gone();
    e.writePos += done;
    return true;
}

void PosixFileSystem::release(Entry& e)
{
    if (e.reader)
        e.reader->cancel(); // its descriptor closes with the last holder
    else
        ::close(e.fd);
}

void PosixFileSystem::close(int fileNo)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end())
        return;
    release(it->second);
    m_files.erase(it);
}

void PosixFileSystem::closeAll()
{
    for (auto& [no, e] : m_files)
        release(e);
    m_files.clear();
}

} // namespace vantrel
