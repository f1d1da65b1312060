#include "logdialog.h"

#include "texts.h"

namespace vantrel
{

std::optional<QString>
askForLogPath(FileDialog& dialog, FileSystem& files, MessageBoxes& boxes,
              const std::function<LogPathVerdict(const QString& path, bool exists)>& judge)
{
    dialog.DialogTitle = QLatin1String(text::kLogDialogTitle);
    dialog.Filter = QLatin1String(text::kLogDialogFilter);
    for (;;) {
        dialog.FileName.clear();
        if (!dialog.ShowOpen())
            return std::nullopt;
        const QString path = dialog.FileName;
        const Result<bool> exists = files.exists(path);
        if (!exists) {
            boxes.show(exists.why(), mb::OkExclamation);
            return std::nullopt;
        }
        switch (judge(path, *exists)) {
        case LogPathVerdict::Take:
            return path;
        case LogPathVerdict::Stop:
            return std::nullopt;
        case LogPathVerdict::AskAgain:
            break;
        }
    }
}

} // namespace vantrel
