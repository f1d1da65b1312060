#pragma once

#include <QString>

namespace vantrel
{

// The file dialog model: title, filter ("Name|pattern|Name|pattern"), file name in
// and out, the chosen file's name without its folder, and a cancel report.
class FileDialog
{
public:
    static constexpr int kCancelError = 32755;

    virtual ~FileDialog() = default;
    QString DialogTitle;
    QString Filter;
    QString FileName;
    QString FileTitle;
    // Shows the dialog as an Open dialog. Returns false when the user cancelled.
    virtual bool ShowOpen() = 0;
    // Shows it as a Save dialog, which asks before a file is replaced; a name typed
    // without an extension gets DefaultExt. Returns false when the user cancelled.
    virtual bool ShowSave() = 0;
    QString DefaultExt;
};

class QtFileDialog final : public FileDialog
{
public:
    bool ShowOpen() override;
    bool ShowSave() override;

private:
    bool show(bool save);
};

// "Log Files (*.LOG)|*.log|All Files (*.*)|*.*" in the toolkit's own filter form.
QString toQtFilter(const QString& filter);

} // namespace vantrel
