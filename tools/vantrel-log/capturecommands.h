#pragma once

#include <QString>
#include <QStringList>

// vantrel-log's commands on whole captures: a log with what lies beside it, loose or in
// a bundle.
namespace vantrel::cli
{
// pack LOG [-o BUNDLE]
int pack(const QStringList& args);
// unpack BUNDLE: the loose files in the current folder.
int unpack(const QStringList& args);
// summary --csv FILE...: one row per capture on standard output.
int summaryCsv(const QStringList& files);
// The summary's lines on what was sent beside a log and its notes.
QString sentAndNotes(const QString& log, qint64 logBytes);
} // namespace vantrel::cli
