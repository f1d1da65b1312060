#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrel
{

class Windows;

// "Password challenge": the password leads to the main menu; Cancel ends the program.
class frmLogin final : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char* kPassword = "570341";

    explicit frmLogin(Windows& windows, QWidget* parent = nullptr);

    QLabel* lblLabels[2] = {};
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtUserName = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;

    void cmdOK_Click();
    void cmdCancel_Click();
    void txtUserName_GotFocus();

    // Esc and the close box are Cancel.
    void reject() override { cmdCancel_Click(); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void leaveForMenu();

    Windows& m_windows;
    bool m_left = false;
};

} // namespace vantrel
