#pragma once

#include "carscreen/controls.h"
#include "platform/serialcomm.h"

#include <QObject>
#include <QString>

namespace vantrel
{

class StatusScanner;

// The car diagnostics screen's commands and polling: the six buttons, Enter in the
// command entry box, the overlay panel, the timers Timer1 to Timer5 with the grid fill,
// and the stress test.
class CarCommands final : public QObject
{
    Q_OBJECT
public:
    CarCommands(const Form1Controls& controls, SerialComm& serial, StatusScanner& scanner,
                QObject* parent = nullptr);

    qint16 stressPhase() const { return m_stressPhase; }

    // Grid fill and polling.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();
    // Buttons and entry boxes.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Text3_KeyDown(int keyCode, int shift);
    void Picture1_Click();

private:
    bool isStressRunning() const;
    void focusCommandOrTerminal();
    void stepButton(const char* command);

    const Form1Controls& m_c;
    SerialComm& m_serial;
    StatusScanner& m_scanner;
    qint16 m_stressPhase = 0;
};

} // namespace vantrel
