// The real program under a real X server, driven from outside as a technician would:
// keys and clicks reach it through xdotool, and the controller is a pseudo-terminal.
#include "ptyfixture.h"
#include "xsession.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel::test;

class TestAppXvfb : public QObject
{
    Q_OBJECT

    XSession x;
    QTemporaryDir folder;
    std::unique_ptr<Pty> pty;
    std::unique_ptr<QProcess> app;

    QString window(const QString& caption) { return x.window(caption); }
    bool shown(const QString& caption) { return x.shown(caption); }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(x.start(), qPrintable(x.why())); }
    void init()
    {
        pty = std::make_unique<Pty>();
        QVERIFY(pty->ok());
        const QString device = folder.filePath(QStringLiteral("ttyV0"));
        QFile::remove(device);
        QVERIFY(QFile::link(pty->path(), device));
        app = std::make_unique<QProcess>();
        QVERIFY(x.startApp(*app, device));
        QVERIFY2(!window(QStringLiteral("Vantrel")).isEmpty(),
                 app->readAllStandardError().constData());
    }
    void cleanup()
    {
        if (app->state() != QProcess::NotRunning) {
            app->kill();
            app->waitForFinished(5000);
        }
        app.reset();
        pty.reset();
    }

    void keyOnSplashOpensTheMenuAndTheCarScreenOpensThePort()
    {
        const QString splash = window(QStringLiteral("Vantrel"));
        x.focus(splash);
        x.keys({QStringLiteral("space")});
        const QString menu = window(QStringLiteral("Vantrel Menu"));
        QVERIFY(!menu.isEmpty());
        // The splash goes once the menu is there, never through the password challenge.
        QTRY_VERIFY_WITH_TIMEOUT(!shown(QStringLiteral("Vantrel")), 10000);
        QVERIFY(!shown(QStringLiteral("Password challenge")));
        QCOMPARE(pty->readAvailable(), QByteArray());
        x.clickAt(menu, 40, 10); // "Car diagnostics" on the menu bar
        const QString car = window(QStringLiteral("Vantrel Car"));
        QVERIFY(!car.isEmpty());
        QCOMPARE(pty->collect(1, 20000), QByteArray("\r"));
        QVERIFY(shown(QStringLiteral("Vantrel Menu")));
        // File, Exit: the screen closes the port and the program ends.
        x.focus(car);
        x.keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
    }

    void rightPasswordReachesTheMenu()
    {
        x.clickAt(window(QStringLiteral("Vantrel")), 20, 360); // the splash's background
        const QString login = window(QStringLiteral("Password challenge"));
        QVERIFY(!login.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!shown(QStringLiteral("Vantrel")), 10000);
        x.clickAt(login, 150, 45); // into the password box
        x.typeText(QStringLiteral("570341"));
        x.keys({QStringLiteral("Return")});
        QVERIFY(!window(QStringLiteral("Vantrel Menu")).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!shown(QStringLiteral("Password challenge")), 10000);
        QCOMPARE(app->state(), QProcess::Running);
    }

    void cancelInTheLoginEndsTheProgram()
    {
        x.clickAt(window(QStringLiteral("Vantrel")), 20, 360);
        const QString login = window(QStringLiteral("Password challenge"));
        QVERIFY(!login.isEmpty());
        x.clickAt(login, 145, 80); // Cancel
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(pty->readAvailable(), QByteArray()); // the port was never opened
    }
};

QTEST_MAIN(TestAppXvfb)
#include "tst_app_xvfb.moc"
