#pragma once

#include "platform/services.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrel
{

// "Password challenge": the password leads to the main menu; Cancel ends the program.
class frmLogin final : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char* kPassword = "570341";

    explicit frmLogin(const Services& services, QWidget* parent = nullptr);

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

Q_SIGNALS:
    // The password was given, or the user name box took the focus: on to the menu.
    void leftForMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void leaveForMenu();

    Services m_s;
    bool m_left = false;
};

} // namespace vantrel
