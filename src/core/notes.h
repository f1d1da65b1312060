#pragma once

#include "result.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace vantrel
{

// The technician's notes on a capture log, kept beside it ("<log>.notes") as text a
// person can read and edit:
//
//     vantrel notes 1
//     <offset> <ms or -> <text>
//
// one note a line, in the order of their offsets. The offset is the byte of the log the
// note is at (the start of its line), so notes stay where they were as the log grows;
// ms is that moment's wall-clock time since 1970 where known, "-" where not. The text is
// UTF-8 with line breaks, other control characters and the backslash written as \xHH.
struct Note {
    qint64 offset = 0;
    std::optional<qint64> ms;
    QString text;
    friend bool operator==(const Note& a, const Note& b)
    {
        return a.offset == b.offset && a.ms == b.ms && a.text == b.text;
    }
};

namespace notes
{
inline constexpr char kHeader[] = "vantrel notes 1";
inline constexpr char kSuffix[] = ".notes";
QString pathFor(const QString& logPath);
QByteArray format(QList<Note> notes);
} // namespace notes

// The notes of one log once checked against it: none, with a notice, when the file does
// not match the log (a note past its end) or cannot be read.
class Notes final
{
public:
    static Notes forLog(const QString& logPath, qint64 logBytes);
    static Notes parse(QByteArrayView text, qint64 logBytes, const QString& logName);
    bool valid() const { return m_valid; }
    bool present() const { return m_present; }
    const QString& notice() const { return m_notice; }
    const QList<Note>& notes() const { return m_notes; }

private:
    bool m_valid = false;
    bool m_present = false;
    QString m_notice;
    QList<Note> m_notes;
};

// Writes a log's notes whole: to a temporary file beside them, renamed over them once
// all of it is on disk, so the file is always the old notes or the new ones, never part
// of either. No notes removes the file.
Result<> saveNotes(const QString& logPath, const QList<Note>& notes);

} // namespace vantrel
