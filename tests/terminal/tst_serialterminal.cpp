// The port's notifications, load, toggle, overrun restart and screen unload.
#include "core/carmodel.h"
#include "fakes.h"
#include "screens.h"
#include "shell/form1.h"
#include "terminal/serialterminal.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/lamp.h"
#include "widgets/vtimer.h"

#include <QAction>
#include <QLabel>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestSerialTerminal : public QObject, public CarScreenFixture
{
    Q_OBJECT

    void load() { form->Form_Load(); }

private Q_SLOTS:
    void init() { openScreen(false); }
    void cleanup() { closeScreen(); }

    void loadOpensThePortAndSendsOneCR()
    {
        load();
        QVERIFY(w->serial.open);
        QVERIFY(form->MOpen->isChecked());
        QCOMPARE(w->serial.sent, QByteArray("\r"));
        QVERIFY(w->boxes.shown.isEmpty());
    }

    void loadWithAPortThatCannotOpen()
    {
        w->serial.openFailure = QStringLiteral("Cannot open /dev/ttyS0: No such file or directory");
        load();
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown[0].text, w->serial.openFailure);
        QCOMPARE(w->boxes.shown[0].buttons, mb::OkExclamation);
        QVERIFY(!form->MOpen->isChecked());
        QVERIFY(w->serial.sent.isEmpty());
        // The screen works without the port: a typed key edits the terminal.
        int key = 'a';
        form->terminal().Term_KeyPress(key);
        QCOMPARE(key, int('a'));
    }

    void toggleTwiceClosesAndReopensWithoutCR()
    {
        load();
        form->MOpen->trigger();
        QVERIFY(!w->serial.open);
        QVERIFY(!form->MOpen->isChecked());
        form->MOpen->trigger();
        QVERIFY(w->serial.open);
        QVERIFY(form->MOpen->isChecked());
        QCOMPARE(w->serial.sent, QByteArray("\r"));
    }

    void events_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("alert");
        // Each kind of notification once: the words come from the event table.
        QTest::newRow("ring changes nothing") << 6 << ""
                                              << "";
        QTest::newRow("CTS change goes to the status line") << 3 << "Change in CTS Detected"
                                                            << "";
        QTest::newRow("carrier timeout is an alert") << 1007 << ""
                                                     << "Carrier Detect Timeout";
    }
    void events()
    {
        QFETCH(int, code);
        QFETCH(QString, status);
        QFETCH(QString, alert);
        load();
        w->serial.raise(code);
        QCOMPARE(form->Label1->text(), status);
        QCOMPARE(w->boxes.beeps, alert.isEmpty() ? 0 : 1);
        if (alert.isEmpty()) {
            QVERIFY(w->boxes.shown.isEmpty());
        } else {
            QCOMPARE(w->boxes.shown.size(), 1);
            QCOMPARE(w->boxes.shown[0].text, alert);
            QCOMPARE(w->boxes.shown[0].buttons, mb::OkCancel);
            QCOMPARE(w->boxes.shown[0].title,
                     QStringLiteral("Press Cancel to Quit, Ok to ignore."));
        }
        QVERIFY(form->terminal().pendingAlert().isEmpty());
        QVERIFY(form->terminal().pendingStatus().isEmpty());
    }

    void sameStatusShowsAgainAndStays()
    {
        load();
        w->serial.raise(3);
        form->Label1->setText(QString());
        w->serial.raise(3);
        QCOMPARE(form->Label1->text(), QStringLiteral("Change in CTS Detected"));
        w->serial.receive(QStringLiteral("x"));
        QCOMPARE(form->Label1->text(), QStringLiteral("Change in CTS Detected"));
    }

    void alertAnswers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("openAfter");
        QTest::newRow("OK leaves the port open") << int(mb::Ok) << true;
        QTest::newRow("Cancel closes the port and clears the check") << int(mb::Cancel) << false;
    }
    void alertAnswers()
    {
        QFETCH(int, answer);
        QFETCH(bool, openAfter);
        load();
        w->boxes.answers = {answer};
        w->serial.raise(1002);
        QCOMPARE(w->serial.open, openAfter);
        QCOMPARE(form->MOpen->isChecked(), openAfter);
    }

    void oneAlertAtATimeWhileDataArrives()
    {
        load();
        w->boxes.whileShown = [this] {
            if (w->boxes.shown.size() == 1)
                w->serial.receive(QStringLiteral("more"));
        };
        w->serial.raise(1008);
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(form->Term->text(), QStringLiteral("more"));
    }

    // An alert raised while an alert box is open is shown after it; one that says what
    // the open box or a waiting one says makes no box of its own.
    void alertsRaisedDuringAnAlertFollowIt_data()
    {
        QTest::addColumn<QList<int>>("meanwhile");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("a different alert follows")
            << QList<int>{1003} << QStringList{"CTS Timeout", "DSR Timeout"};
        QTest::newRow("the same alert again collapses")
            << QList<int>{1002, 1002} << QStringList{"CTS Timeout"};
        QTest::newRow("two different, each once, in order")
            << QList<int>{1010, 1003, 1010, 1002}
            << QStringList{"CTS Timeout", "Transmit Buffer Full", "DSR Timeout"};
        QTest::newRow("status messages meanwhile go to the status line")
            << QList<int>{1004} << QStringList{"CTS Timeout"};
    }
    void alertsRaisedDuringAnAlertFollowIt()
    {
        QFETCH(QList<int>, meanwhile);
        QFETCH(QStringList, boxes);
        load();
        w->boxes.whileShown = [&] {
            if (w->boxes.shown.size() == 1)
                for (int code : meanwhile)
                    w->serial.raise(code);
        };
        w->boxes.answers = {mb::Ok, mb::Ok, mb::Ok, mb::Ok};
        w->serial.raise(1002);
        QStringList shown;
        for (const auto& b : w->boxes.shown)
            shown << b.text;
        QCOMPARE(shown, boxes);
        QCOMPARE(w->boxes.beeps, boxes.size());
        QVERIFY(w->serial.open);
    }

    void receivePathLampsAndTimers()
    {
        load();
        form->model().setTimer(CarModel::QuietTimer, true);
        form->model().setTimer(CarModel::LampTimer, false);
        w->serial.receive(QStringLiteral("OK\r"));
        QCOMPARE(form->Label4->color(), color::DarkRed);
        QVERIFY(form->Timer4->enabled());
        QVERIFY(!form->Timer5->enabled());
        QCOMPARE(form->Term->text(), QStringLiteral("OK\r\n"));
    }

    void overrunRestartsThePortAndSendsInstall()
    {
        load();
        form->model().setTimer(CarModel::PollTimer, true);
        w->serial.history.clear();
        w->serial.raise(1006);
        QCOMPARE(w->serial.history, (QStringList{"close", "open"}));
        QVERIFY(w->serial.sent.endsWith("install\r"));
        QVERIFY(form->Timer2->enabled());
        QVERIFY(w->boxes.shown.isEmpty());
    }

    void overrunWhoseReopenFailsIsShownInTheStatusLine()
    {
        load();
        w->serial.reopenFailure = QStringLiteral("Cannot open /dev/fake1: busy");
        w->serial.raise(1006);
        QCOMPARE(form->Label1->text(), w->serial.reopenFailure);
        QVERIFY(!form->MOpen->isChecked());
        QVERIFY(w->boxes.shown.isEmpty());
    }

    void lostDeviceIsReportedOnce()
    {
        load();
        w->serial.open = false;
        Q_EMIT w->serial.deviceLost(QStringLiteral("/dev/serial/by-id/usb-fake-if00"),
                                    QStringLiteral("ttyUSB0"));
        QCOMPARE(form->Label1->text(), QStringLiteral("Port 1 lost: ttyUSB0 is gone"));
        QCOMPARE(form->Label1->toolTip(), QStringLiteral("/dev/serial/by-id/usb-fake-if00"));
        QCOMPARE(form->Label1->accessibleDescription(),
                 QStringLiteral("Label1: /dev/serial/by-id/usb-fake-if00"));
        QVERIFY(!form->MOpen->isChecked());
        QVERIFY(w->boxes.shown.isEmpty());
        // Back by itself: said in the status line, checked, and nothing sent.
        w->serial.sent.clear();
        w->serial.open = true;
        Q_EMIT w->serial.deviceBack(QStringLiteral("/dev/serial/by-id/usb-fake-if00"),
                                    QStringLiteral("ttyUSB0"));
        QCOMPARE(form->Label1->text(), QStringLiteral("Port 1 back: ttyUSB0 reopened"));
        QVERIFY(form->MOpen->isChecked());
        QCOMPARE(w->serial.sent, QByteArray());
    }

    void unloadWithEmptyQueueEndsAtOnce()
    {
        load();
        int cancel = 0;
        form->terminal().Form_Unload(cancel);
        QCOMPARE(cancel, 0);
        QVERIFY(!w->serial.open);
        QCOMPARE(w->exit.calls, 1);
        QVERIFY(w->boxes.shown.isEmpty());
        QCOMPARE(w->clock.doEventsCalls, 0);
    }

    void unloadWithStuckQueue_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("prompts");
        QTest::addColumn<bool>("ended");
        QTest::newRow("Abort keeps everything open") << QList<int>{mb::Abort} << 1 << false;
        QTest::newRow("Ignore closes and ends") << QList<int>{mb::Ignore} << 1 << true;
        QTest::newRow("Retry waits again, then Ignore")
            << QList<int>{mb::Retry, mb::Ignore} << 2 << true;
    }
    void unloadWithStuckQueue()
    {
        QFETCH(QList<int>, answers);
        QFETCH(int, prompts);
        QFETCH(bool, ended);
        load();
        w->serial.outQueue = 5;
        w->boxes.answers.assign(answers.begin(), answers.end());
        QList<double> promptTimes;
        w->boxes.whileShown = [&] { promptTimes << w->clock.now; };
        const double start = w->clock.now;
        int cancel = 0;
        form->terminal().Form_Unload(cancel);
        QCOMPARE(w->boxes.shown.size(), prompts);
        QCOMPARE(w->boxes.shown[0].text, QStringLiteral("Data cannot be sent"));
        QCOMPARE(w->boxes.shown[0].buttons, mb::AbortRetryIgnoreQuestion);
        // The prompt comes about 10 seconds after each deadline was set.
        const auto aboutTenSeconds = [](double wait) { return wait >= 10 && wait <= 12; };
        QVERIFY2(aboutTenSeconds(promptTimes[0] - start),
                 qPrintable(QString::number(promptTimes[0] - start)));
        if (prompts > 1)
            QVERIFY2(aboutTenSeconds(promptTimes[1] - promptTimes[0]),
                     qPrintable(QString::number(promptTimes[1] - promptTimes[0])));
        QCOMPARE(cancel, ended ? 0 : 1);
        QCOMPARE(w->serial.open, !ended);
        QCOMPARE(w->exit.calls, ended ? 1 : 0);
    }

    void queueThatDrainsEndsWithoutPrompt()
    {
        load();
        w->serial.outQueue = 3;
        w->clock.onDoEvents = [this] { w->serial.outQueue = 0; };
        int cancel = 0;
        form->terminal().Form_Unload(cancel);
        QVERIFY(w->boxes.shown.isEmpty());
        QCOMPARE(w->exit.calls, 1);
    }

    void exitBehavesLikeClosing()
    {
        load();
        w->serial.outQueue = 1;
        w->boxes.answers = {mb::Abort};
        form->MFileExit->trigger();
        QCOMPARE(w->exit.calls, 0);
        QVERIFY(w->serial.open);
        w->boxes.answers = {mb::Ignore};
        form->MFileExit->trigger();
        QCOMPARE(w->exit.calls, 1);
    }

    void closingTheWindowRunsUnload()
    {
        load();
        form->show();
        w->serial.outQueue = 1;
        w->boxes.answers = {mb::Abort};
        form->close();
        QVERIFY(form->isVisible());
        QCOMPARE(w->exit.calls, 0);
    }

    void typedKeys_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("open port sends a letter") << true << int('a') << QByteArray("a");
        QTest::newRow("Enter sends a lone CR") << true << 13 << QByteArray("\r");
        QTest::newRow("Backspace sends 8") << true << 8 << QByteArray("\b");
        QTest::newRow("Escape sends 27") << true << 27 << QByteArray("\x1b");
        QTest::newRow("closed port sends nothing") << false << int('a') << QByteArray();
    }
    void typedKeys()
    {
        QFETCH(bool, portOpen);
        QFETCH(int, key);
        QFETCH(QByteArray, sent);
        load();
        if (!portOpen)
            form->MOpen->trigger();
        w->serial.sent.clear();
        int k = key;
        form->terminal().Term_KeyPress(k);
        QCOMPARE(w->serial.sent, sent);
        QCOMPARE(k, portOpen ? 0 : key);
        QCOMPARE(form->Label5->color(), portOpen ? color::Green : color::LightGrey);
    }

    void keysThroughTheWidget()
    {
        load();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->Term->setFocus();
        w->serial.sent.clear();
        QTest::keyClicks(form->Term, QStringLiteral("ab"));
        QTest::keyClick(form->Term, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(form->Term, Qt::Key_Return);
        QTest::keyClick(form->Term, Qt::Key_F, Qt::AltModifier); // the File menu's key
        QCOMPARE(w->serial.sent, QByteArray("ab\x03\r"));
        QVERIFY(form->Term->text().isEmpty());

        form->MOpen->trigger(); // closed: keys edit the terminal
        QTest::keyClicks(form->Term, QStringLiteral("xy"));
        QTest::keyClick(form->Term, Qt::Key_Return);
        QTest::keyClick(form->Term, Qt::Key_Z);
        QCOMPARE(form->Term->text(), QStringLiteral("xy\r\nz"));
        QTest::keyClick(form->Term, Qt::Key_Backspace);
        QTest::keyClick(form->Term, Qt::Key_Backspace);
        QCOMPARE(form->Term->text(), QStringLiteral("xy"));
        QCOMPARE(w->serial.sent, QByteArray("ab\x03\r"));
    }
};

QTEST_MAIN(TestSerialTerminal)
#include "tst_serialterminal.moc"
