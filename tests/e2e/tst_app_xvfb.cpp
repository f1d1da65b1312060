// The real program under a real X server, driven from outside as a technician would:
// keys and clicks reach it through xdotool, and the controller is a pseudo-terminal.
#include "ptyfixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace vantrel::test;

class TestAppXvfb : public QObject
{
    Q_OBJECT

    QProcess xvfb;
    QString display;
    std::unique_ptr<Pty> pty;
    std::unique_ptr<QProcess> app;

    QByteArray xdo(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), args);
        p.waitForFinished(10000);
        return p.readAllStandardOutput().trimmed();
    }
    // The id of the visible window with exactly this caption, waiting for it.
    QString window(const QString& caption, int ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        do {
            const QByteArray ids =
                xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), QLatin1Char('^') + caption + QLatin1Char('$')});
            if (!ids.isEmpty())
                return QString::fromLatin1(ids.split('\n').last());
            QTest::qWait(100);
        } while (t.elapsed() < ms);
        return {};
    }
    bool shown(const QString& caption) { return !window(caption, 0).isEmpty(); }
    void focus(const QString& id)
    {
        xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
    }
    void clickAt(const QString& id, int x, int y)
    {
        xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), id, QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    }
    void keys(const QStringList& names)
    {
        xdo(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} +
            names);
    }
    void typeText(const QString& text)
    {
        xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"), text});
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char* tool : {"Xvfb", "xdotool"})
            QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
                     "install the test tools with scripts/install-deps.sh");
        xvfb.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                    QStringLiteral("-noreset")});
        QVERIFY(xvfb.waitForReadyRead(10000));
        display = QLatin1Char(':') + QString::fromLatin1(xvfb.readLine().trimmed());
    }
    void cleanupTestCase()
    {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }
    void init()
    {
        pty = std::make_unique<Pty>();
        QVERIFY(pty->ok());
        app = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("VANTREL_COM1"), pty->path());
        app->setProcessEnvironment(env);
        app->start(qEnvironmentVariable("VANTREL_BIN"), {});
        QVERIFY(app->waitForStarted(5000));
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
        focus(splash);
        keys({QStringLiteral("space")});
        const QString menu = window(QStringLiteral("Vantrel Menu"));
        QVERIFY(!menu.isEmpty());
        QVERIFY(!shown(QStringLiteral("Password challenge")));
        QVERIFY(!shown(QStringLiteral("Vantrel")));
        QCOMPARE(pty->readAvailable(), QByteArray());
        clickAt(menu, 40, 10); // "Car diagnostics" on the menu bar
        const QString car = window(QStringLiteral("Vantrel Car"));
        QVERIFY(!car.isEmpty());
        QCOMPARE(pty->collect(1, 5000), QByteArray("\r"));
        QVERIFY(shown(QStringLiteral("Vantrel Menu")));
        // File, Exit: the screen closes the port and the program ends.
        focus(car);
        keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
    }

    void rightPasswordReachesTheMenu()
    {
        clickAt(window(QStringLiteral("Vantrel")), 20, 360); // the splash's background
        const QString login = window(QStringLiteral("Password challenge"));
        QVERIFY(!login.isEmpty());
        QVERIFY(!shown(QStringLiteral("Vantrel")));
        clickAt(login, 150, 45); // into the password box
        typeText(QStringLiteral("570341"));
        keys({QStringLiteral("Return")});
        QVERIFY(!window(QStringLiteral("Vantrel Menu")).isEmpty());
        QVERIFY(!shown(QStringLiteral("Password challenge")));
        QCOMPARE(app->state(), QProcess::Running);
    }

    void cancelInTheLoginEndsTheProgram()
    {
        clickAt(window(QStringLiteral("Vantrel")), 20, 360);
        const QString login = window(QStringLiteral("Password challenge"));
        QVERIFY(!login.isEmpty());
        clickAt(login, 145, 80); // Cancel
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(pty->readAvailable(), QByteArray()); // the port was never opened
    }
};

QTEST_MAIN(TestAppXvfb)
#include "tst_app_xvfb.moc"
