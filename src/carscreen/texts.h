#pragma once

#include "core/carmodel.h" // the captions

#include <QHash>
#include <QString>

namespace vantrel
{

// The captions and texts both car screens show, in one place.
namespace text
{
// The dialog that picks a capture log, for writing one as for replaying one.
constexpr const char* kLogDialogTitle = "Open Communications Log File";
constexpr const char* kLogDialogFilter = "Log Files (*.LOG)|*.log|All Files (*.*)|*.*";
} // namespace text

// The caption of the car diagnostics screen while a capture log is open (the log's
// file name without its folder), and once it is closed (no name).
QString logCaption(const QString& fileTitle = {});

// The status line's words for a port whose device went away, or came back and was
// opened again: its number and the device's short name (the full path goes in the
// line's tooltip).
QString portLostText(int port, const QString& shortName);
QString portBackText(int port, const QString& shortName);

// The words for the shared controls that show no caption of their own.
QHash<QString, QString> carScreenWords();

} // namespace vantrel
