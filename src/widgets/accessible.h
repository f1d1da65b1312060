#pragma once

#include <QHash>
#include <QString>

class QWidget;

namespace vantrel
{

// What a control shows in words, as assistive technology reads it: the caption where
// there is one (access key marks left out), else the words given for its control name.
QString captionInWords(const QString& caption);

// Names every control of a window for screen readers and UI automation: its caption,
// or else the words given for its control name (a name its builder gave it stays);
// its control name becomes its description.
void nameControls(QWidget* window, const QHash<QString, QString>& words);

} // namespace vantrel
