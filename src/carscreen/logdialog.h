#pragma once

#include "platform/filedialog.h"
#include "platform/filesystem.h"
#include "platform/messageboxes.h"

#include <QString>

#include <functional>
#include <optional>

namespace vantrel
{

// What to do with a path the user chose for a log.
enum class LogPathVerdict { Take, AskAgain, Stop };

// The capture log's dialog, for writing one as for replaying one: titled and filtered
// for logs, shown with an empty name again and again until `judge` takes a path (given
// whether a file is there). A cancelled dialog ends it with nothing; so does a lookup
// that fails, after its description is shown.
std::optional<QString>
askForLogPath(FileDialog& dialog, FileSystem& files, MessageBoxes& boxes,
              const std::function<LogPathVerdict(const QString& path, bool exists)>& judge);

} // namespace vantrel
