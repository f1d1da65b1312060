#include "bundle.h"

#include "capturetimes.h"
#include "linefile.h"
#include "notes.h"
#include "sentlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel
{

namespace
{
constexpr qsizetype kPiece = 1 << 16;

QString archiveError(archive* a)
{
    const char* text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

struct ReadArchive {
    archive* a = archive_read_new();
    ~ReadArchive() { archive_read_free(a); }
};

struct WriteArchive {
    archive* a = archive_write_new();
    ~WriteArchive() { archive_write_free(a); }
};

struct Entry {
    QString name;
    qint64 size = -1; // -1 where the bundle does not say
};

// The bundle being written: a temporary file beside it, renamed to its name when whole.
struct BundleOut {
    QByteArray temp;
    int fd = -1;
    int err = 0;
    ~BundleOut()
    {
        if (fd >= 0)
            ::close(fd);
        if (!temp.isEmpty())
            ::unlink(temp.constData());
    }
};

la_ssize_t toBundle(archive*, void* client, const void* buffer, size_t length)
{
    auto* out = static_cast<BundleOut*>(client);
    for (size_t done = 0; done < length;) {
        const ssize_t n = ::write(out->fd, static_cast<const char*>(buffer) + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out->err = errno;
            return -1;
        }
        done += size_t(n);
    }
    return la_ssize_t(length);
}

// An entry's name if it is a plain file straight in the bundle's top folder; otherwise
// what is wrong with it.
Result<QString> plainName(archive_entry* entry)
{
    const char* utf8 = archive_entry_pathname_utf8(entry);
    const char* raw = utf8 ? utf8 : archive_entry_pathname(entry);
    const QString name = raw ? QString::fromUtf8(raw) : QString();
    const QString shown = QStringLiteral("\"%1\"").arg(name);
    if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) ||
        archive_entry_filetype(entry) == AE_IFLNK)
        return Failure(QStringLiteral("a link (%1)").arg(shown));
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') ||
        name.contains(u'\\') || name.contains(QChar(0)))
        return Failure(QStringLiteral("an entry outside its own folder (%1)").arg(shown));
    if (archive_entry_filetype(entry) != AE_IFREG)
        return Failure(QStringLiteral("an entry that is not a plain file (%1)").arg(shown));
    return name;
}

// The log among the names: the one the others are its companions of.
Result<QString> logAmong(const QList<Entry>& entries)
{
    QString log;
    const QStringList suffixes = bundle::companionSuffixes();
    for (const Entry& e : entries) {
        const bool companion = std::any_of(suffixes.begin(), suffixes.end(),
                                           [&](const QString& s) { return e.name.endsWith(s); });
        if (companion)
            continue;
        if (!log.isEmpty())
            return Failure(QStringLiteral("two logs (\"%1\" and \"%2\")").arg(log, e.name));
        log = e.name;
    }
    if (log.isEmpty())
        return Failure(QStringLiteral("no capture log"));
    for (const Entry& e : entries) {
        if (e.name == log)
            continue;
        if (!suffixes.contains(e.name.mid(log.size())) || !e.name.startsWith(log))
            return Failure(
                QStringLiteral("a file that does not belong to its log (\"%1\")").arg(e.name));
    }
    return log;
}

QString bytesText(qint64 n)
{
    return QString::number(n) + QStringLiteral(" bytes");
}
} // namespace

namespace bundle
{
QStringList companionSuffixes()
{
    return {QLatin1String(capturetimes::kSuffix), QLatin1String(sent::kSuffix),
            QLatin1String(notes::kSuffix)};
}

bool isBundle(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArrayLiteral("PK\x03\x04");
}

Result<> pack(const QString& logPath, const QString& bundlePath)
{
    QStringList paths{logPath};
    for (const QString& suffix : companionSuffixes())
        if (QFileInfo(logPath + suffix).isFile())
            paths << logPath + suffix;
    // A bundle written over one of its own files would put that file's place in a
    // half-read state and then replace it.
    const QString target = QFileInfo(bundlePath).absoluteFilePath();
    for (const QString& path : paths)
        if (QFileInfo(path).absoluteFilePath() == target ||
            (QFileInfo::exists(bundlePath) &&
             QFileInfo(path).canonicalFilePath() == QFileInfo(bundlePath).canonicalFilePath()))
            return Failure(QStringLiteral("Cannot write the bundle %1: it is %2, which goes "
                                          "into it")
                               .arg(bundlePath, path));
    BundleOut out;
    WriteArchive w;
    const auto cannotWrite = [&](const QString& why) {
        return Failure(QStringLiteral("Cannot write the bundle %1: %2")
                           .arg(bundlePath, out.err ? osError(out.err) : why));
    };
    out.temp = QFile::encodeName(bundlePath) + ".XXXXXX";
    out.fd = ::mkstemp(out.temp.data());
    if (out.fd < 0) {
        out.temp.clear();
        return cannotWrite(osError(errno));
    }
    archive_write_set_format_zip(w.a);
    archive_write_zip_set_compression_deflate(w.a);
    if (archive_write_open(w.a, &out, nullptr, toBundle, nullptr) != ARCHIVE_OK)
        return cannotWrite(archiveError(w.a));
    QByteArray piece(kPiece, Qt::Uninitialized);
    // A capture still being written is taken as it is now: the files beside the log are
    // measured first, so nothing they say is past the log's end as it is taken.
    std::vector<std::unique_ptr<QFile>> files;
    std::vector<qint64> sizes(size_t(paths.size()));
    for (const QString& path : paths) {
        files.push_back(std::make_unique<QFile>(path));
        if (!files.back()->open(QIODevice::ReadOnly))
            return Failure(
                QStringLiteral("Cannot read %1: %2").arg(path, files.back()->errorString()));
    }
    for (size_t i = files.size(); i-- > 0;)
        sizes[i] = files[i]->size();
    for (size_t i = 0; i < files.size(); ++i) {
        const QString& path = paths[qsizetype(i)];
        QFile& in = *files[i];
        const qint64 size = sizes[i];
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, QFileInfo(path).fileName().toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, size);
        archive_entry_set_mtime(entry, QFileInfo(path).lastModified().toSecsSinceEpoch(), 0);
        const int header = archive_write_header(w.a, entry);
        archive_entry_free(entry);
        if (header != ARCHIVE_OK)
            return cannotWrite(archiveError(w.a));
        for (qint64 left = size; left > 0;) {
            const qint64 n = in.read(piece.data(), std::min<qint64>(left, kPiece));
            if (n <= 0)
                return Failure(QStringLiteral("Cannot read %1: %2")
                                   .arg(path, n < 0 ? in.errorString()
                                                    : QStringLiteral("it was cut short while "
                                                                     "being packed")));
            if (archive_write_data(w.a, piece.constData(), size_t(n)) != n)
                return cannotWrite(archiveError(w.a));
            left -= n;
        }
    }
    if (archive_write_close(w.a) != ARCHIVE_OK)
        return cannotWrite(archiveError(w.a));
    if (::fchmod(out.fd, 0644) != 0 || ::fsync(out.fd) != 0)
        return cannotWrite(osError(errno));
    const int fd = std::exchange(out.fd, -1);
    if (::close(fd) != 0 ||
        ::rename(out.temp.constData(), QFile::encodeName(bundlePath).constData()) != 0)
        return cannotWrite(osError(errno));
    out.temp.clear();
    return done();
}

Result<Unpacked> unpack(const QString& bundlePath, const QString& folder, qint64 limit)
{
    const auto damaged = [&](const QString& where, archive* a) {
        return Failure(QStringLiteral("The bundle %1 is damaged %2: %3")
                           .arg(bundlePath, where, archiveError(a)));
    };
    const auto refused = [&](const QString& what) {
        return Failure(
            QStringLiteral("The bundle %1 holds %2: nothing was unpacked").arg(bundlePath, what));
    };
    const auto open = [&](ReadArchive& r) -> Result<> {
        archive_read_support_format_zip(r.a);
        if (archive_read_open_filename(r.a, QFile::encodeName(bundlePath).constData(), kPiece) !=
            ARCHIVE_OK)
            return Failure(
                QStringLiteral("Cannot open the bundle %1: %2").arg(bundlePath, archiveError(r.a)));
        return done();
    };
    const auto whereAfter = [](const QList<Entry>& entries) {
        return entries.isEmpty() ? QStringLiteral("at its start")
                                 : QStringLiteral("after its part \"%1\"").arg(entries.back().name);
    };

    // First what the bundle claims, without writing anything.
    QList<Entry> entries;
    {
        ReadArchive r;
        if (const Result<> opened = open(r); !opened)
            return Failure(opened.why());
        archive_entry* entry = nullptr;
        QSet<QString> seen;
        qint64 claimed = 0;
        for (;;) {
            const int rc = archive_read_next_header(r.a, &entry);
            if (rc == ARCHIVE_EOF)
                break;
            if (rc < ARCHIVE_WARN)
                return damaged(whereAfter(entries), r.a);
            const Result<QString> plain = plainName(entry);
            if (!plain)
                return refused(plain.why());
            if (seen.contains(*plain))
                return refused(QStringLiteral("the name \"%1\" twice").arg(*plain));
            seen.insert(*plain);
            Entry e{*plain, archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1};
            if (e.size > limit - claimed)
                return Failure(QStringLiteral("The bundle %1 claims to unpack to more than its "
                                              "limit of %2 (in its part \"%3\"): nothing was "
                                              "unpacked")
                                   .arg(bundlePath, bytesText(limit), e.name));
            claimed += std::max<qint64>(e.size, 0);
            entries << e;
            if (archive_read_data_skip(r.a) < ARCHIVE_WARN)
                return damaged(QStringLiteral("in its part \"%1\"").arg(e.name), r.a);
        }
        const QStorageInfo storage(folder);
        if (storage.isValid() && claimed > storage.bytesAvailable())
            return Failure(QStringLiteral("The bundle %1 unpacks to %2, more than the %3 free "
                                          "in %4: nothing was unpacked")
                               .arg(bundlePath, bytesText(claimed),
                                    bytesText(storage.bytesAvailable()), folder));
    }
    const Result<QString> log = logAmong(entries);
    if (!log)
        return refused(log.why());

    // Then the files, each made anew in the folder and no bigger than it claimed.
    const int dir =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return Failure(QStringLiteral("Cannot unpack into %1: %2").arg(folder, osError(errno)));
    Unpacked result;
    QStringList made;
    const auto undo = [&](const Failure& why) {
        for (const QString& file : made)
            ::unlinkat(dir, QFile::encodeName(file).constData(), 0);
        ::close(dir);
        return why;
    };
    ReadArchive r;
    if (const Result<> opened = open(r); !opened)
        return undo(Failure(opened.why()));
    QByteArray piece(kPiece, Qt::Uninitialized);
    qint64 total = 0;
    archive_entry* entry = nullptr;
    for (const Entry& e : entries) {
        const int rc = archive_read_next_header(r.a, &entry);
        const Result<QString> plain =
            rc < ARCHIVE_WARN ? Result<QString>(Failure({})) : plainName(entry);
        if (rc < ARCHIVE_WARN || !plain || *plain != e.name)
            return undo(Failure(
                QStringLiteral("The bundle %1 changed while it was unpacked").arg(bundlePath)));
        const QByteArray file = QFile::encodeName(e.name);
        const int fd = ::openat(dir, file.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            return undo(Failure(QStringLiteral("Cannot unpack %1 into %2: %3")
                                    .arg(e.name, folder, osError(errno))));
        made << e.name;
        qint64 written = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(r.a, piece.data(), size_t(kPiece));
            if (n == 0)
                break;
            if (n < 0) {
                ::close(fd);
                return undo(damaged(QStringLiteral("in its part \"%1\"").arg(e.name), r.a));
            }
            written += n;
            total += n;
            if ((e.size >= 0 && written > e.size) || total > limit) {
                ::close(fd);
                return undo(Failure(QStringLiteral("The bundle %1 holds more than it claims in "
                                                   "its part \"%2\": what was unpacked is "
                                                   "removed again")
                                        .arg(bundlePath, e.name)));
            }
            for (const char* p = piece.constData(); p < piece.constData() + n;) {
                const ssize_t put = ::write(fd, p, size_t(piece.constData() + n - p));
                if (put < 0 && errno == EINTR)
                    continue;
                if (put < 0) {
                    const int err = errno;
                    ::close(fd);
                    return undo(Failure(QStringLiteral("Cannot unpack %1 into %2: %3")
                                            .arg(e.name, folder, osError(err))));
                }
                p += put;
            }
        }
        if (::close(fd) != 0)
            return undo(Failure(QStringLiteral("Cannot unpack %1 into %2: %3")
                                    .arg(e.name, folder, osError(errno))));
        if (e.size >= 0 && written != e.size)
            return undo(
                Failure(QStringLiteral("The bundle %1 is damaged in its part \"%2\": it "
                                       "holds %3 of the %4 it claims")
                            .arg(bundlePath, e.name, bytesText(written), bytesText(e.size))));
    }
    ::close(dir);
    result.log = QDir(folder).filePath(*log);
    result.files << result.log;
    for (const QString& file : made)
        if (file != *log)
            result.files << QDir(folder).filePath(file);
    return result;
}
} // namespace bundle

Result<std::shared_ptr<CaptureFiles>> CaptureFiles::open(const QString& path)
{
    auto files = std::make_shared<CaptureFiles>();
    if (!bundle::isBundle(path)) {
        files->m_log = path;
        return files;
    }
    files->m_dir = std::make_unique<QTemporaryDir>();
    if (!files->m_dir->isValid())
        return Failure(QStringLiteral("Cannot open the bundle %1: no temporary folder (%2)")
                           .arg(path, files->m_dir->errorString()));
    const Result<bundle::Unpacked> unpacked = bundle::unpack(path, files->m_dir->path());
    if (!unpacked)
        return Failure(unpacked.why());
    files->m_log = unpacked->log;
    return files;
}

} // namespace vantrel
