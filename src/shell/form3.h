#pragma once

#include "platform/services.h"

#include <QMainWindow>

class QAction;

namespace vantrel
{

// "Vantrel Menu": the main menu. Closing it ends the program.
class Form3 final : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form3(const Services& services, QWidget* parent = nullptr);

    QAction* mnuCar = nullptr;
    QAction* mnuDispatch = nullptr;
    QAction* mnuReplay = nullptr;

    void mnuCar_Click();
    void mnuDispatch_Click() {}
    void mnuReplay_Click() {}
    void Form_Unload();

Q_SIGNALS:
    // "Car diagnostics" was chosen.
    void carChosen();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Services m_s;
};

} // namespace vantrel
