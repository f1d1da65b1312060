#pragma once

#include "atspisession.h"
#include "xsession.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vantrel::test
{

// The real program under its own X server with the simulated controller on a
// pseudo-terminal, its controls read and pressed over AT-SPI as a screen reader's user
// would. A failed step fails the running test with what it read.
class AtspiProgram
{
public:
    XSession x;
    AtspiSession bus;
    QProcess sim;
    QProcess app;
    QString device; // the controller's port

    // X, the bus and the controller; false with the reason in why().
    bool start();
    const QString& why() const { return m_why; }
    void stop();
    // A fresh program on the controller's port, through the splash and the menu to the
    // car screen; its window, empty if it did not get there.
    QString startAtCarScreen();
    // Reads a control's property until it matches the pattern.
    void expect(const QString& window, const QString& control, const QString& what,
                const QString& pattern);
    void press(const QString& window, const QString& control);
    // Keys from a window, then the text into the focused box of the window they open and
    // Enter there (a file dialog's file name, a note's text).
    void enterIn(const QString& from, const QStringList& keys, const QString& title,
                 const QString& text);

private:
    QString m_why;
};

} // namespace vantrel::test
