#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vantrel::test
{

// A private X server and the real program on it, driven from outside with xdotool as
// a technician would: windows are found by caption, clicks land inside a window.
class XSession
{
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts Xvfb; false (with the reason in why()) when it cannot.
    bool start();
    const QString& why() const { return m_why; }
    // Starts the program on this display with VANTREL_COM1 naming the device, and the
    // extra environment given.
    bool startApp(QProcess& app, const QString& device,
                  const QProcessEnvironment& extra = {}) const;
    const QString& display() const { return m_display; }

    QByteArray xdo(const QStringList& args) const;
    // The id of the visible window with exactly this caption, waiting for it.
    QString window(const QString& caption, int ms = 20000) const;
    bool shown(const QString& caption) const { return !window(caption, 0).isEmpty(); }
    void focus(const QString& id) const;
    void clickAt(const QString& id, int x, int y) const;
    void keys(const QStringList& names) const;
    void typeText(const QString& text) const;
    // Height of a window's menu bar: the client area below it is `clientHeight` high.
    int menuBarHeight(const QString& id, int clientHeight) const;

private:
    QProcess m_xvfb;
    QString m_display;
    QString m_why;
};

} // namespace vantrel::test
