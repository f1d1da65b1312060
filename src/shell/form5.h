#pragma once

#include "platform/services.h"

#include <QWidget>

class QLabel;

namespace vantrel
{

class VTimer;

// The splash window. It gives way once: to the password challenge after ten seconds
// or on a click on its background, to the main menu on a key.
class Form5 final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSplashMs = 10000;

    explicit Form5(const Services& services, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    VTimer* Timer1 = nullptr;

    void Timer1_Timer();
    void Form_Click();
    void Form_KeyPress(int keyAscii);

Q_SIGNALS:
    // The splash gave way: to the password challenge, or to the main menu.
    void leftForLogin();
    void leftForMenu();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Switches the timer off, shows the next window and closes the splash for good.
    void leaveFor(bool toMenu);

    Services m_s;
    bool m_left = false;
};

} // namespace vantrel
