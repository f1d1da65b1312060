#pragma once

#include "platform/serialcomm.h"

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vantrel
{

class CrLfEdit;
class SignalGrid;
class TextBox;
class VTimer;

// The car diagnostics screen's commands, polling timers, status scanner and lamps.
class CarDiagnostics final : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Vantrel Car";
    static constexpr const char* kStressCaption = "Stress Test";

    struct Controls {
        QWidget* form = nullptr;
        CrLfEdit* Term = nullptr;
        TextBox* Text1 = nullptr;
        QLineEdit* txtvel = nullptr;
        QLineEdit* txtbbt = nullptr;
        QLineEdit* txtpos = nullptr;
        QLineEdit* Text2 = nullptr;
        QLineEdit* Text3 = nullptr;
        QLineEdit* Text4 = nullptr;
        CrLfEdit* Text5 = nullptr;
        QWidget* Picture1 = nullptr;
        QLabel* Label3 = nullptr;
        QLabel* Label4 = nullptr;
        QLabel* Label5 = nullptr;
        QPushButton* Command1 = nullptr;
        QPushButton* Command2 = nullptr;
        QPushButton* Command3 = nullptr;
        QPushButton* Command4 = nullptr;
        QPushButton* Command5 = nullptr;
        QPushButton* Command6 = nullptr;
        VTimer* Timer1 = nullptr;
        VTimer* Timer2 = nullptr;
        VTimer* Timer3 = nullptr;
        VTimer* Timer4 = nullptr;
        VTimer* Timer5 = nullptr;
        SignalGrid* grid = nullptr;
    };

    CarDiagnostics(const Controls& controls, SerialComm& serial, QObject* parent = nullptr);

    qint16 StopCount() const { return m_stopCount; }
    qint16 stressPhase() const { return m_stressPhase; }

    // The command sender: the text and one CR in a single write; dropped while the
    // port is closed. Returns whether it was written.
    bool sendCommand(const QString& command);

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
    // Status text scanner.
    void Text1_Change();
    void txtvel_Change();
    void Text2_Change();
    void txtbbt_Change();
    void txtpos_Change();

private:
    bool isStressRunning() const;
    void focusCommandOrTerminal();
    void stepButton(const char* command);

    Controls m_c;
    SerialComm& m_serial;
    qint16 m_stopCount = 0;
    qint16 m_stressPhase = 0;
};

} // namespace vantrel
