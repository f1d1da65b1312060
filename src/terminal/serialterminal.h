#pragma once

#include "capturelog.h"
#include "carscreen/controls.h"
#include "platform/services.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace vantrel
{

class CrLfText;

// The car diagnostics screen's serial terminal: the port, the receive path, the
// terminal text, the capture log, and the screen's load and unload.
class SerialTerminal final : public QObject
{
    Q_OBJECT
public:
    static constexpr double kDrainWaitSeconds = 10;

    SerialTerminal(const Form1Controls& controls, const Services& services,
                   QObject* parent = nullptr);

    CaptureLog& captureLog() { return m_log; }
    // The terminal's text, which Term draws.
    CrLfText& term() { return *m_term; }
    const QString& pendingStatus() const { return m_pendingStatus; }
    const QString& pendingAlert() const { return m_pendingAlert; }

    void Form_Load();
    // Returns with cancel set when the user chose Abort; otherwise the program ends.
    void Form_Unload(int& cancel);
    void MOpen_Click();
    void MFileExit_Click();
    void SerialComm1_OnComm();
    void Term_KeyPress(int& key);
    void AppendToTerminal(CrLfText& box, QString& text);

    // The menu's check mark, the caption and the status line after the port changed
    // outside the screen (the settings window).
    void portStateChanged();

private:
    void togglePort();
    void receivePath();
    void portRestart();
    void messageStep();
    void act(const CommAction& action);
    void deviceLost(const QString& device, const QString& shortName);
    void deviceBack(const QString& device, const QString& shortName);
    void showPortMessage(const QString& text, const QString& device);
    void markWatching();
    void reportServiceFailure(const QString& why);

    const Form1Controls& m_c;
    Services m_s;
    CaptureLog m_log;
    std::shared_ptr<CrLfText> m_term;
    QString m_pendingStatus;
    QString m_pendingAlert;
    // While an alert box is open: its text, and the different alerts raised meanwhile,
    // to be shown after it (identical ones collapse into one box).
    bool m_alertShowing = false;
    QString m_alertShown;
    QStringList m_alertsAfter;
    bool m_unloading = false;
};

} // namespace vantrel
