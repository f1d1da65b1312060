#include "notes.h"

#include "linefile.h"
#include "sentlog.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel
{

namespace notes
{
QString pathFor(const QString& logPath)
{
    return logPath + QLatin1String(kSuffix);
}

QByteArray format(QList<Note> notes)
{
    std::stable_sort(notes.begin(), notes.end(),
                     [](const Note& a, const Note& b) { return a.offset < b.offset; });
    QByteArray out = QByteArray(kHeader) + '\n';
    for (const Note& note : notes) {
        out += QByteArray::number(note.offset) + ' ';
        out += note.ms ? QByteArray::number(*note.ms) : QByteArray("-");
        // UTF-8 above 0x7f stays as it is: only what would break the line is escaped.
        QByteArray text;
        for (char c : note.text.toUtf8()) {
            if (uchar(c) >= 0x80)
                text += c;
            else
                text += sent::escaped(QByteArrayView(&c, 1));
        }
        out += ' ' + text + '\n';
    }
    return out;
}
} // namespace notes

namespace
{
bool number(QByteArrayView& text, qint64* out)
{
    qsizetype i = 0;
    qint64 v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 18)
        v = v * 10 + (text[i++] - '0');
    if (i == 0 || i >= text.size() || text[i] != ' ')
        return false;
    *out = v;
    text = text.sliced(i + 1);
    return true;
}

bool noteText(QByteArrayView text, QString* out)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto u = uchar(text[i]);
        if (u < 0x20 || u == 0x7f)
            return false;
        if (text[i] == '\\') {
            QByteArray one;
            if (!sent::unescaped(text.sliced(i, std::min<qsizetype>(4, text.size() - i)), &one))
                return false;
            bytes += one;
            i += 3;
        } else {
            bytes += text[i];
        }
    }
    *out = QString::fromUtf8(bytes);
    return true;
}
} // namespace

Notes Notes::parse(QByteArrayView text, qint64 logBytes, const QString& logName)
{
    Notes n;
    n.m_present = true;
    QString why;
    qint64 lineNo = 0;
    while (!text.isEmpty() && why.isEmpty()) {
        qsizetype eol = text.indexOf('\n');
        if (eol < 0)
            eol = text.size(); // a person's editor may leave off the last line end
        QByteArrayView line = text.first(eol);
        text = text.sliced(std::min(eol + 1, text.size()));
        if (line.endsWith('\r'))
            line.chop(1);
        ++lineNo;
        if (lineNo == 1) {
            if (line != QByteArrayView(notes::kHeader))
                why = QStringLiteral("its first line is not \"%1\"")
                          .arg(QLatin1String(notes::kHeader));
            continue;
        }
        if (line.isEmpty())
            continue;
        Note note;
        qint64 ms = 0;
        if (!number(line, &note.offset)) {
            why = QStringLiteral("line %1 cannot be read").arg(lineNo);
        } else if (line.startsWith("- ")) {
            line = line.sliced(2);
        } else if (number(line, &ms)) {
            note.ms = ms;
        } else {
            why = QStringLiteral("line %1 cannot be read").arg(lineNo);
        }
        if (why.isEmpty() && !noteText(line, &note.text))
            why = QStringLiteral("line %1 cannot be read").arg(lineNo);
        if (why.isEmpty() && note.offset > logBytes)
            why = QStringLiteral("the note at line %1 is past the log's end").arg(lineNo);
        if (why.isEmpty())
            n.m_notes.append(std::move(note));
    }
    if (why.isEmpty() && lineNo == 0)
        why = QStringLiteral("it is empty");
    if (!why.isEmpty()) {
        Notes none;
        none.m_present = true;
        none.m_notice =
            QStringLiteral("the notes on %1 do not match it (%2): they are left out, and the "
                           "file is kept as it is")
                .arg(logName, why);
        return none;
    }
    std::stable_sort(n.m_notes.begin(), n.m_notes.end(),
                     [](const Note& a, const Note& b) { return a.offset < b.offset; });
    n.m_valid = true;
    return n;
}

Notes Notes::forLog(const QString& logPath, qint64 logBytes)
{
    const QString name = QFileInfo(logPath).fileName();
    QFile file(notes::pathFor(logPath));
    Notes n;
    if (!file.exists()) {
        n.m_valid = true; // no notes yet
        return n;
    }
    n.m_present = true;
    constexpr qint64 kMaxBytes = 64 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes) {
        n.m_notice =
            QStringLiteral("the notes on %1 cannot be read (%2: %3)")
                .arg(name, file.fileName(),
                     file.isOpen() ? QStringLiteral("larger than 64 MB") : file.errorString());
        return n;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        n.m_notice = QStringLiteral("the notes on %1 cannot be read (%2: %3)")
                         .arg(name, file.fileName(), file.errorString());
        return n;
    }
    return parse(text, logBytes, name);
}

Result<> saveNotes(const QString& logPath, const QList<Note>& list)
{
    const QString path = notes::pathFor(logPath);
    if (list.isEmpty()) {
        QFile file(path);
        if (file.exists() && !file.remove())
            return Failure(
                QStringLiteral("Cannot remove the notes %1: %2").arg(path, file.errorString()));
        return done();
    }
    // Written by hand rather than with QSaveFile: that one renames a file the disk cut
    // short over the old notes and reports success.
    QByteArray temp = QFile::encodeName(path) + ".XXXXXX";
    const auto failed = [&](int err, bool made) {
        if (made)
            ::unlink(temp.constData());
        return Failure(QStringLiteral("Cannot save the notes %1: %2").arg(path, osError(err)));
    };
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return failed(errno, false);
    const QByteArray text = notes::format(list);
    for (const char* p = text.constData(); p < text.constData() + text.size();) {
        const ssize_t n = ::write(fd, p, size_t(text.constData() + text.size() - p));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return failed(err, true);
        }
        p += n;
    }
    if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        return failed(err, true);
    }
    if (::close(fd) != 0)
        return failed(errno, true);
    if (::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
        return failed(errno, true);
    return done();
}

} // namespace vantrel
