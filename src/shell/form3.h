#pragma once

#include <QMainWindow>

class QAction;

namespace vantrel
{

class Windows;

// "Vantrel Menu": the main menu. Closing it ends the program.
class Form3 final : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form3(Windows& windows, QWidget* parent = nullptr);

    QAction* mnuCar = nullptr;
    QAction* mnuDispatch = nullptr;
    QAction* mnuReplay = nullptr;

    void mnuCar_Click();
    void mnuDispatch_Click() {}
    void mnuReplay_Click() {}
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Windows& m_windows;
};

} // namespace vantrel
