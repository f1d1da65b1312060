#pragma once

#include "carscreen.h"
#include "platform/services.h"
#include "terminal/configscrn.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

namespace vantrel
{

class CarCommands;
class CarModel;
class PortCommands;
class SerialTerminal;
class StatusScanner;

// The car diagnostics screen. It builds its controls here, in one place; the car model
// holds what the screen knows of the car, and the serial terminal, the status scanner
// and the commands show it on those controls and feed it.
class Form1 final : public QMainWindow, public Form1Controls
{
    Q_OBJECT
public:
    Form1(const Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    CarModel& model() { return *m_model; }
    SerialTerminal& terminal() { return *m_terminal; }
    StatusScanner& scanner() { return *m_scanner; }
    CarCommands& commands() { return *m_commands; }
    SerialComm& SerialComm1() { return *m_s.serial; }
    ConfigScrn* configScrn() const { return m_config; }

    // Runs once, when the screen is first shown: opens the port.
    void Form_Load();
    void Form_Resize() {}
    void MSettings_Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildLayout();
    void buildMenus();

    Services m_s;
    std::unique_ptr<PortCommands> m_sink;
    std::unique_ptr<CarModel> m_model;
    std::unique_ptr<SerialTerminal> m_terminal;
    std::unique_ptr<StatusScanner> m_scanner;
    std::unique_ptr<CarCommands> m_commands;
    QPointer<ConfigScrn> m_config;
};

} // namespace vantrel
