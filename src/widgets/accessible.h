#pragma once

#include <QHash>
#include <QString>

class QWidget;

namespace vantrel
{

// What a control shows in words, as assistive technology reads it: the caption where
// there is one (access key marks left out), else the words given for its control name.
QString captionInWords(const QString& caption);

// Names every control of a window for screen readers and UI automation. A control with a
// caption (a window's title, a menu's, a label's, a button's) is read by it as it is
// now, so a changed caption reads changed; a control without one gets the words given
// for its control name, once; a readout gets them as the words before its value. Every
// control, and every menu entry, has its control name as its description.
void nameControls(QWidget* window, const QHash<QString, QString>& words);

// Makes assistive technology read the kit's own controls through the program's
// interfaces: the CR LF text box's text, the readouts' values and the menu entries'
// control names. Once is enough; more calls change nothing (naming a window's controls
// does it too).
void installAccessibleFactory();

} // namespace vantrel
