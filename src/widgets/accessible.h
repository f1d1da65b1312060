#pragma once

#include <QHash>
#include <QString>

#include <functional>

class QAccessibleEvent;
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
// control names. Once is enough; more calls change nothing.
void installAccessibleFactory();

// Whether assistive technology listens to the kit's controls: the toolkit's word, or a
// stand-in for it inside the program (the tests). While nobody listens, the controls keep
// nothing and compare nothing for it.
bool accessibilityListens();
// Hands an event of a kit control on to assistive technology, or to the stand-in.
void tellAccessibility(QAccessibleEvent& event);
// A stand-in that hears the kit's events in place of the toolkit; none ends it.
void setAccessibilityStandIn(std::function<void(QAccessibleEvent&)> standIn);

} // namespace vantrel
