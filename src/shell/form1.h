#pragma once

#include "carscreen.h"
#include "platform/services.h"
#include "terminal/configscrn.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPushButton;

namespace vantrel
{

class CarDiagnostics;
class SerialTerminal;
class VTimer;

// The car diagnostics screen. It builds its controls here, in one place; the serial
// terminal and the car diagnostics parts carry its behaviour on those controls.
class Form1 final : public QMainWindow, public CarScreenCommon
{
    Q_OBJECT
public:
    Form1(const Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    QWidget* client = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    CrLfEdit* Text5 = nullptr;
    VTimer* Timer1 = nullptr;
    VTimer* Timer2 = nullptr;
    VTimer* Timer3 = nullptr;
    VTimer* Timer4 = nullptr;
    VTimer* Timer5 = nullptr;
    VTimer* Timer7 = nullptr;

    QMenu* MFile = nullptr;
    QAction* MOpenLog = nullptr;
    QAction* MCloseLog = nullptr;
    QAction* MRplayLog = nullptr;
    QAction* M3 = nullptr;
    QAction* MSendText = nullptr;
    QAction* Bar2 = nullptr;
    QAction* MFileExit = nullptr;
    QMenu* MPort = nullptr;
    QAction* MOpen = nullptr;
    QAction* MSettings = nullptr;

    SerialTerminal& terminal() { return *m_terminal; }
    CarDiagnostics& diagnostics() { return *m_diagnostics; }
    SerialComm& SerialComm1() { return *m_s.serial; }
    ConfigScrn* configScrn() const { return m_config; }

    // Runs once, when the screen is first shown: opens the port.
    void Form_Load();
    void Form_Resize() {}
    void MSettings_Click();
    // What "Replay Log File" shows; the window registry sets it.
    std::function<void()> showReplay;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildLayout();
    void buildMenus();

    Services m_s;
    std::unique_ptr<SerialTerminal> m_terminal;
    std::unique_ptr<CarDiagnostics> m_diagnostics;
    QPointer<ConfigScrn> m_config;
};

} // namespace vantrel
