#pragma once

#include "carscreen/controls.h"
#include "core/carmodel.h"

#include <QObject>
#include <QString>

namespace vantrel
{

// The car diagnostics screen's commands and polling over the car model: the six buttons,
// Enter in the command entry box, the overlay panel, and the timers Timer1 to Timer5,
// whose ticks the model acts on. It shows the model's timers, lamps, caption and grid.
class CarCommands final : public QObject
{
    Q_OBJECT
public:
    CarCommands(const Form1Controls& controls, CarModel& model, QObject* parent = nullptr);

    qint16 stressPhase() const { return m_model.stressPhase(); }
    // Whether Timer4's tick is taken when the program next goes idle (the default)
    // rather than from its own wake-up a millisecond later.
    void setLampTickWhenIdle(bool on) { m_lampTickWhenIdle = on; }

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
    void focusCommandOrTerminal();
    void stepButton(const char* command);
    void showTimer(CarModel::Timer t, bool on);
    void showLamp(CarModel::Lamp l, bool lit);

    const Form1Controls& m_c;
    CarModel& m_model;
    bool m_lampTickWhenIdle = true;
};

} // namespace vantrel
