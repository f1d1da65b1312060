#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace vantrel::test
{

// The bus a screen reader listens on, private to one test: a D-Bus session bus and the
// AT-SPI bus on it, in a runtime folder of their own. A program started with
// environment() shows its accessible tree there, and the test reads it from outside the
// program as a screen reader does (scripts/lib/a11y.py, with Debian's Python and its
// AT-SPI bindings).
class AtspiSession
{
public:
    AtspiSession() = default;
    ~AtspiSession();
    AtspiSession(const AtspiSession&) = delete;
    AtspiSession& operator=(const AtspiSession&) = delete;

    // Starts the buses for programs on this X display; false (with why()) when it cannot.
    bool start(const QString& display);
    const QString& why() const { return m_why; }
    // What a program needs to be read: the session bus, and the toolkit's bridge on.
    QProcessEnvironment environment() const;

    // Reads a control ("name" or "text") until it matches the pattern in full or the time
    // is up; `read` is what it read last, or why nothing was read.
    bool waitFor(qint64 pid, const QString& window, const QString& control, const QString& what,
                 const QString& pattern, QString& read, int seconds = 20) const;
    // Does a control's first action (a button's press), as a screen reader's user would;
    // with a pattern, again every half second until the window's name matches it. `said`
    // is what the window read last, or why nothing was pressed.
    bool press(qint64 pid, const QString& window, const QString& control, QString& said,
               const QString& until = {}, int seconds = 20) const;
    // Gives a control the keyboard focus, as a screen reader's user would; false (with
    // why in `said`) when it does not take it.
    bool focus(qint64 pid, const QString& window, const QString& control, QString& said) const;
    // Puts text into the focused text box of the window with this title, once it has focus.
    bool enter(qint64 pid, const QString& title, const QString& text) const;
    // What each control reads now ("name" or "text"); none where nothing was read.
    QList<std::optional<QString>> read(qint64 pid, const QString& window,
                                       const QStringList& controls, const QString& what) const;

private:
    bool probe(const QStringList& args, QString& said, int seconds) const;

    QTemporaryDir m_runtime;
    QProcess m_bus;
    QProcess m_launcher;
    QString m_address;
    QString m_display;
    QString m_python;
    QString m_why;
};

} // namespace vantrel::test
