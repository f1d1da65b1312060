#include "windows.h"

#include "form1.h"
#include "form3.h"
#include "form5.h"
#include "frmlogin.h"
#include "replayscreen.h"

#include "carscreen/texts.h"
#include "replay/logreplay.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>

namespace vantrel
{

namespace
{
constexpr int kGap = 8;      // pixels between windows side by side
constexpr int kCascade = 40; // offset when there is no room beside

// Puts a new window to the right of another when the screen has room, else a little
// below and to the right of it.
void placeBeside(QWidget* w, const QWidget* other)
{
    if (!other)
        return;
    const QRect o = other->frameGeometry();
    QPoint at(o.right() + 1 + kGap, o.top());
    const QScreen* screen = other->screen() ? other->screen() : QGuiApplication::primaryScreen();
    if (screen && at.x() + w->width() > screen->availableGeometry().right())
        at = o.topLeft() + QPoint(kCascade, kCascade);
    w->move(at);
}
} // namespace

Windows::~Windows()
{
    delete m_replay;
    delete m_form1;
    delete m_form3;
    delete m_login;
    delete m_form5;
}

void bringForward(QWidget* w)
{
    w->show();
    w->raise();
    w->activateWindow();
}

void Windows::start()
{
    Form5* splash = showForm5();
    // Drawn before the first event is handled.
    splash->repaint();
}

Form5* Windows::showForm5()
{
    if (!m_form5) {
        m_form5 = new Form5(m_s);
        QObject::connect(m_form5, &Form5::leftForLogin, [this] { showLogin(); });
        QObject::connect(m_form5, &Form5::leftForMenu, [this] { showForm3(); });
        m_form5->move(kCascade, kCascade);
    }
    bringForward(m_form5);
    return m_form5;
}

frmLogin* Windows::showLogin()
{
    if (!m_login) {
        m_login = new frmLogin(m_s);
        QObject::connect(m_login, &frmLogin::leftForMenu, [this] { showForm3(); });
        m_login->move(kCascade, kCascade);
    }
    bringForward(m_login);
    return m_login;
}

Form3* Windows::showForm3()
{
    if (!m_form3) {
        m_form3 = new Form3(m_s);
        QObject::connect(m_form3, &Form3::carChosen, [this] { showForm1(); });
        m_form3->move(0, 0);
    }
    bringForward(m_form3);
    return m_form3;
}

Form1* Windows::showForm1()
{
    if (!m_form1) {
        m_form1 = new Form1(m_s);
        QObject::connect(m_form1->MRplayLog, &QAction::triggered, m_form1,
                         [this] { showReplay(); });
        placeBeside(m_form1, m_form3);
        m_form1->Form_Load();
        if (m_s.exit->ended())
            return m_form1;
    }
    bringForward(m_form1);
    return m_form1;
}

replay* Windows::showReplay()
{
    if (!m_replay) {
        m_replay = new replay(m_s);
        // Closing a replayed log shows in the car screen's caption, as closing a capture log
        // would.
        QObject::connect(&m_replay->playback(), &LogReplay::logClosed, m_replay, [this] {
            if (m_form1)
                m_form1->setWindowTitle(logCaption());
        });
        placeBeside(m_replay, m_form1);
        m_replay->Form_Load();
    }
    bringForward(m_replay);
    return m_replay;
}

} // namespace vantrel
