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

class CarModel;
class CrLfText;

// The car diagnostics screen's serial terminal: the port, the receive path (received
// bytes into the terminal text, the car model's parse buffer and the capture log), and
// the screen's load and unload.
class SerialTerminal final : public QObject
{
    Q_OBJECT
public:
    static constexpr double kDrainWaitSeconds = 10;

    SerialTerminal(const Form1Controls& controls, const Services& services, CarModel& model,
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
    void SerialComm1_Received(const QByteArray& bytes);
    void Term_KeyPress(int& key);
    // One received piece into the terminal and the parse buffer; hands back what
    // entered, for the capture log.
    QByteArray AppendToTerminal(CrLfText& box, const QByteArray& bytes);

    // The menu's check mark, the caption and the status line after the port changed
    // outside the screen (the settings window).
    void portStateChanged();

private:
    void togglePort();
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
    CarModel& m_model;
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
