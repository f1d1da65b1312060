#pragma once

#include "form1.h"
#include "form3.h"
#include "form5.h"
#include "frmlogin.h"
#include "platform/services.h"
#include "replayscreen.h"

#include <QPointer>

namespace vantrel
{

// Owns the program's windows: each exists at most once, is created on first show,
// shown modeless beside the others, and brought forward when shown again.
class Windows
{
public:
    explicit Windows(const Services& services) : m_s(services) {}
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    const Services& services() const { return m_s; }
    Form5* form5() const { return m_form5; }
    frmLogin* login() const { return m_login; }
    Form3* form3() const { return m_form3; }
    Form1* form1() const { return m_form1; }
    replay* replayScreen() const { return m_replay; }

    // The start-up procedure: shows the splash and draws it at once.
    void start();
    Form5* showForm5();
    frmLogin* showLogin();
    Form3* showForm3();
    // Creates and loads the car diagnostics screen on first use.
    Form1* showForm1();
    // Creates and loads the replay screen on first use, beside the car screen.
    replay* showReplay();

private:
    Services m_s;
    QPointer<Form5> m_form5;
    QPointer<frmLogin> m_login;
    QPointer<Form3> m_form3;
    QPointer<Form1> m_form1;
    QPointer<replay> m_replay;
};

// Shows a window and brings it forward.
void bringForward(QWidget* w);

} // namespace vantrel
