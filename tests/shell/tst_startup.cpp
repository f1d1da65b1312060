// The way from the splash through the password challenge to the menu and the car
// screen, the one-window-each rule, and every way the program ends.
#include "fakes.h"
#include "screens.h"
#include "shell/windows.h"
#include "terminal/configscrn.h"
#include "widgets/vtimer.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// Lets the windows closed by the last handler really go.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
} // namespace

class TestStartup : public QObject, public WindowsFixture
{
    Q_OBJECT

    frmLogin* reachLogin()
    {
        windows->start();
        windows->form5()->Timer1_Timer();
        settle();
        frmLogin* login = windows->login();
        if (login)
            (void)QTest::qWaitForWindowActive(login);
        return login;
    }

private Q_SLOTS:
    void init() { openWindows(); }
    void cleanup() { closeWindows(); }

    void splashStartsWithItsTimerRunning()
    {
        windows->start();
        Form5* splash = windows->form5();
        QVERIFY(splash);
        QVERIFY(splash->isVisible());
        QCOMPARE(splash->windowTitle(), QStringLiteral("Vantrel"));
        QVERIFY(splash->Timer1->enabled());
        QCOMPARE(splash->Timer1->interval(), 10000);
        QCOMPARE(splash->Label1->text(), QStringLiteral("Vantrel for Talvik 5000"));
        QCOMPARE(splash->Label3->text(), QStringLiteral("03/19/2003"));
        QCOMPARE(splash->Label4->text(), QStringLiteral("VER 4.14.24"));
        QVERIFY(splash->Label5->text().contains(QStringLiteral("2026")));
        QCOMPARE(splash->Label1->font().pointSizeF(), 18.0);
        QVERIFY(splash->Label1->font().bold());
        QVERIFY(!windows->login());
        QVERIFY(!windows->form3());
    }

    void splashGivesWayOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("toMenu");
        QTest::newRow("no input: the ten seconds pass") << "timer" << false;
        QTest::newRow("click on the background") << "click" << false;
        QTest::newRow("a letter key opens the menu directly") << "key" << true;
        QTest::newRow("Enter opens the menu directly") << "enter" << true;
        QTest::newRow("Esc opens the menu directly") << "esc" << true;
    }
    void splashGivesWayOnce()
    {
        QFETCH(QString, how);
        QFETCH(bool, toMenu);
        windows->start();
        QPointer<Form5> splash = windows->form5();
        if (how == QLatin1String("timer"))
            Q_EMIT splash->Timer1->Timer();
        else if (how == QLatin1String("click"))
            QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(20, splash->height() - 20));
        else if (how == QLatin1String("key"))
            QTest::keyClick(splash, Qt::Key_A);
        else if (how == QLatin1String("enter"))
            QTest::keyClick(splash, Qt::Key_Return);
        else
            QTest::keyClick(splash, Qt::Key_Escape);
        QVERIFY(splash);
        QVERIFY(!splash->Timer1->enabled());
        // Whatever comes next finds the splash already gone its way.
        Q_EMIT splash->Timer1->Timer();
        QTest::keyClick(splash, Qt::Key_B);
        settle();
        QVERIFY(!splash);
        QCOMPARE(bool(windows->form3()), toMenu);
        QCOMPARE(bool(windows->login()), !toMenu);
        QCOMPARE(w->exit.calls, 0);
    }

    void clickOnALabelIsNotAClickOnTheSplash()
    {
        windows->start();
        Form5* splash = windows->form5();
        QTest::mouseClick(splash, Qt::LeftButton, {}, splash->Label1->geometry().center());
        QVERIFY(splash->Timer1->enabled());
        QVERIFY(!windows->login());
    }

    void passwordChallengeOpensWithTheFocusInThePasswordBox()
    {
        frmLogin* login = reachLogin();
        QVERIFY(login);
        QCOMPARE(login->windowTitle(), QStringLiteral("Password challenge"));
        QCOMPARE(QApplication::focusWidget(), login->txtPassword);
        QCOMPARE(login->txtPassword->echoMode(), QLineEdit::Password);
        QVERIFY(login->cmdOK->isDefault());
        QCOMPARE(login->lblLabels[1]->buddy(), login->txtPassword);
        QCOMPARE(login->lblLabels[0]->buddy(), login->txtUserName);
    }

    void passwordIsCheckedExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the password") << "570341" << true;
        QTest::newRow("trailing blank refused") << "570341 " << false;
        QTest::newRow("leading blank refused") << " 570341" << false;
        QTest::newRow("one digit short refused") << "57034" << false;
        QTest::newRow("empty refused") << "" << false;
    }
    void passwordIsCheckedExactly()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QPointer<frmLogin> login = reachLogin();
        QTest::keyClicks(login->txtPassword, typed);
        QTest::keyClick(login->txtPassword, Qt::Key_Return);
        settle();
        QCOMPARE(bool(windows->form3()), accepted);
        QCOMPARE(bool(login), !accepted);
        QCOMPARE(w->boxes.shown.size(), accepted ? 0 : 1);
        if (!accepted) {
            QCOMPARE(w->boxes.shown[0].text, QStringLiteral("Invalid Password, try again!"));
            QCOMPARE(w->boxes.shown[0].title, QStringLiteral("Login"));
            QCOMPARE(w->boxes.shown[0].buttons, mb::OkOnly);
        }
    }

    void refusedPasswordIsSelectedSoTheNextTryReplacesIt()
    {
        QPointer<frmLogin> login = reachLogin();
        QTest::keyClicks(login->txtPassword, QStringLiteral("1234"));
        login->cmdOK->click();
        QCOMPARE(login->txtPassword->selectionStart(), 0);
        QCOMPARE(login->txtPassword->selectedText(), QStringLiteral("1234"));
        QCOMPARE(QApplication::focusWidget(), login->txtPassword);
        QTest::keyClicks(login->txtPassword, QStringLiteral("570341"));
        QCOMPARE(login->txtPassword->text(), QStringLiteral("570341"));
        QTest::keyClick(login->txtPassword, Qt::Key_Return);
        settle();
        QVERIFY(!login);
        QVERIFY(windows->form3());
    }

    void theUserNameBoxOpensTheMenu_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Tab from the password box") << "tab";
        QTest::newRow("Alt+U") << "altu";
        QTest::newRow("a click in the user name box") << "click";
    }
    void theUserNameBoxOpensTheMenu()
    {
        QFETCH(QString, how);
        QPointer<frmLogin> login = reachLogin();
        QTest::keyClicks(login->txtPassword, QStringLiteral("wrong"));
        if (how == QLatin1String("tab"))
            QTest::keyClick(login->txtPassword, Qt::Key_Tab);
        else if (how == QLatin1String("altu"))
            QTest::keyClick(login, Qt::Key_U, Qt::AltModifier);
        else
            QTest::mouseClick(login->txtUserName, Qt::LeftButton);
        settle();
        QVERIFY(!login);
        QVERIFY(windows->form3());
        QCOMPARE(w->boxes.shown.size(), 0);
    }

    void menuShowsOneCarScreenBroughtForward()
    {
        Form3* menu = windows->showForm3();
        QCOMPARE(menu->windowTitle(), QStringLiteral("Vantrel Menu"));
        QVERIFY(menu->mnuCar->isEnabled());
        QVERIFY(!menu->mnuDispatch->isEnabled());
        QVERIFY(!menu->mnuReplay->isEnabled());
        QCOMPARE(menu->mnuCar->text(), QStringLiteral("&Car diagnostics"));
        QCOMPARE(menu->mnuDispatch->text(), QStringLiteral("&dispatcher diagnostics"));
        QCOMPARE(menu->mnuReplay->text(), QStringLiteral("&Replay"));
        menu->mnuCar->trigger();
        Form1* car = windows->form1();
        QVERIFY(car);
        QVERIFY(car->isVisible());
        QVERIFY(menu->isVisible());
        car->hide();
        menu->mnuCar->trigger();
        QCOMPARE(windows->form1(), car);
        QVERIFY(car->isVisible());
        QCOMPARE(w->serial.opens, 1); // loaded once
        QCOMPARE(w->serial.sent, QByteArray("\r"));
        QCOMPARE(menu->findChildren<Form1*>().size() + 1, 1);
    }

    void replayShownOnceBesideTheCarScreen()
    {
        Form1* car = windows->showForm1();
        car->MRplayLog->trigger();
        replay* r = windows->replayScreen();
        QVERIFY(r);
        QVERIFY(r->isVisible());
        QVERIFY(car->isVisible());
        car->MRplayLog->trigger();
        QCOMPARE(windows->replayScreen(), r);
    }

    // Every way out ends the program once, closes open files and runs no other
    // window's close handling: settings edited in the port window are not applied.
    void everyWayOutEndsAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel in the password challenge") << "cancel";
        QTest::newRow("Esc in the password challenge") << "esc";
        QTest::newRow("close box of the password challenge") << "loginbox";
        QTest::newRow("close box of the splash") << "splashbox";
        QTest::newRow("closing the menu") << "menu";
        QTest::newRow("closing the car screen") << "car";
        QTest::newRow("Exit on the car screen") << "carexit";
        QTest::newRow("closing the replay screen") << "replay";
        QTest::newRow("Exit on the replay screen") << "replayexit";
    }
    void everyWayOutEndsAtOnce()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const int fileNo = w->files.freeFile();
        QVERIFY(w->files.openAppend(fileNo, dir.filePath(QStringLiteral("open.log"))));

        if (how == QLatin1String("splashbox")) {
            windows->start();
            windows->form5()->close();
        } else if (how == QLatin1String("cancel") || how == QLatin1String("esc") ||
                   how == QLatin1String("loginbox")) {
            frmLogin* login = reachLogin();
            if (how == QLatin1String("cancel"))
                login->cmdCancel->click();
            else if (how == QLatin1String("esc"))
                QTest::keyClick(login->txtPassword, Qt::Key_Escape);
            else
                login->close();
        } else {
            windows->showForm3()->mnuCar->trigger();
            Form1* car = windows->form1();
            car->MSettings->trigger();
            car->configScrn()->Text1->setText(QStringLiteral("19200,e,7,1"));
            w->serial.history.clear();
            if (how == QLatin1String("menu"))
                windows->form3()->close();
            else if (how == QLatin1String("car"))
                car->close();
            else if (how == QLatin1String("carexit"))
                car->MFileExit->trigger();
            else {
                car->MRplayLog->trigger();
                if (how == QLatin1String("replay"))
                    windows->replayScreen()->close();
                else
                    windows->replayScreen()->MFileExit->trigger();
            }
            QVERIFY(!w->serial.history.join(u' ').contains(QStringLiteral("settings=")));
        }
        QCOMPARE(w->exit.calls, 1);
        QVERIFY(!w->files.isOpen(fileNo));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
