#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vantrel::test
{

// A file's bytes; a file that cannot be read fails the running test.
QByteArray readFile(const QString& path);
// Makes or empties a file and writes the bytes; a failure fails the running test.
void writeFile(const QString& path, const QByteArray& bytes);

// The case folders of one kind of fixture, tests/data/<kind>/<case>/, by name, for a
// data-driven test's rows; an empty or missing kind fails the running test.
QStringList fixtureCases(const QString& kind);

// The grid cells a fixture expects (cells.txt): "no header" (nothing to fill), "empty"
// (75 empty cells), or 75 lines "[value]" with \r and \n written as escapes.
std::optional<QStringList> readCells(const QString& path);

// Controller text whose lines say where they belong: "line 00042 VEL =  12" and CR LF.
QByteArray numberedLines(int from, int count);

// What the capture log holds after these bytes were received (in any pieces, without
// backspaces): line feeds dropped, every CR followed by LF.
QByteArray loggedText(const QByteArray& received);

// A PMI dump as the controller sends it: the header and eight data lines of 38
// characters, each ending in CR LF; cell k of line n shows value(n, k) and a blank
// (cell 16 the line's CR).
QString pmiDump(const std::function<QChar(int line, int cell)>& value);

// The disk holds no more than `bytes` in any one file while this lives: the system
// takes what fits of a write and refuses the rest, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    quint64 m_before = 0;
};

} // namespace vantrel::test
