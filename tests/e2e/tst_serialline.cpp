// The real port service on a line as technicians meet it: error counts from the
// driver, a box left open while the controller goes on talking, a flood beyond what is
// held, and an adapter pulled and plugged in again.
#include "fakes.h"
#include "ptyfixture.h"
#include "shell/form1.h"
#include "testfiles.h"
#include "widgets/crlfedit.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// A session logging to a file whose next write fails, so the capture log's Retry box
// opens on the next piece received.
struct FailingLogSession {
    FailingFiles files;
    PtySession s{nullptr, &files};
    QTemporaryDir dir;
    QString log = dir.filePath(QStringLiteral("car.log"));
    FailingLogSession()
    {
        s.pty->collect(1);
        s.w.dialogScript->push_back(log);
        s.form->MOpenLog->trigger();
        files.failures = 1;
    }
};
} // namespace

class TestSerialLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void driverCountsRaiseOneNotificationPerRise_data()
    {
        QTest::addColumn<QList<LineCounts>>("readings");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("status");
        const LineCounts zero;
        LineCounts framing = zero;
        framing.framing = 3;
        LineCounts framingAndParity = framing;
        framingAndParity.parity = 1;
        LineCounts everything = framingAndParity;
        everything.breaks = 1;
        everything.bufferOverrun = 2;
        QTest::newRow("framing errors, one notification for the rise")
            << QList<LineCounts>{framing} << QList<int>{1004} << "Framing Error";
        QTest::newRow("then parity: only the count that rose")
            << QList<LineCounts>{framing, framingAndParity} << QList<int>{1004, 1009}
            << "Parity Error";
        QTest::newRow("several at once, in a fixed order")
            << QList<LineCounts>{everything} << QList<int>{1001, 1004, 1009, 1008}
            << "Parity Error";
        QTest::newRow("no rise, nothing") << QList<LineCounts>{zero, zero} << QList<int>{} << "";
    }
    void driverCountsRaiseOneNotificationPerRise()
    {
        QFETCH(QList<LineCounts>, readings);
        QFETCH(QList<int>, codes);
        QFETCH(QString, status);
        auto* counters = new FakeCounters;
        PtySession s{std::unique_ptr<LineCounterSource>(counters)};
        CommEvents seen(s.serial);
        s.w.boxes.answers = {mb::Ok};
        for (const LineCounts& c : readings) {
            counters->counts = c;
            const int looked = counters->reads;
            QTRY_VERIFY(counters->reads > looked); // the watch has seen this reading
        }
        QCOMPARE(seen.codes, codes);
        QCOMPARE(s.form->Label1->text(), status);
    }

    void hardwareOverrunRestartsThePortAndSendsInstall()
    {
        auto* counters = new FakeCounters;
        PtySession s{std::unique_ptr<LineCounterSource>(counters)};
        QCOMPARE(s.pty->collect(1), QByteArray("\r"));
        LineCounts lost;
        lost.overrun = 1;
        counters->counts = lost;
        QCOMPARE(s.pty->collect(8, 10000), QByteArray("install\r"));
        QVERIFY(s.serial.portOpen());
        QVERIFY(s.w.boxes.shown.isEmpty());
        // The reopened port counts from here: its watch sees the same overrun count again
        // and again, and sends nothing more.
        const int looked = counters->reads;
        QTRY_VERIFY(counters->reads >= looked + 3);
        QVERIFY(!s.pty->readAvailable().contains("install"));
    }

    void aPseudoTerminalHasNoCountsAndRaisesNothing()
    {
        PtySession s;
        CommEvents seen(s.serial);
        s.pty->write("text\r");
        QTRY_COMPARE(s.form->Term->text(), QStringLiteral("text\r\n"));
        letPeriodsPass(QtSerialComm::kWatchMs, 3);
        QCOMPARE(seen.codes, QList<int>{});
    }

    // The capture log's Retry box stays open for 15 s while the controller talks at
    // 115,200 baud as a USB adapter delivers it: the line refuses nothing, and after
    // Retry every line is in the log, in order.
    void aBoxOpenForSecondsLosesNothing()
    {
        FailingLogSession logging;
        PtySession& s = logging.s;
        const QString& log = logging.log;
        const QByteArray talk = numberedLines(1, 9000); // more than 15 s of the line
        qint64 sent = 0;
        qint64 refused = 0;
        s.w.boxes.whileShown = [&] {
            QElapsedTimer clock;
            clock.start();
            for (int tick = 1; clock.elapsed() < 15000; ++tick) {
                const QByteArray piece = talk.mid(sent, 184);
                const qint64 taken = s.pty->offer(piece);
                refused += piece.size() - taken;
                sent += taken;
                QTest::qWait(int(qMax<qint64>(0, tick * 16 - clock.elapsed())));
            }
        };
        s.w.boxes.answers = {mb::Retry};
        s.pty->write("first\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(s.w.boxes.shown.size(), 1, 30000);
        QCOMPARE(refused, 0);
        QVERIFY(sent > 150000);
        const QByteArray expected = "first\r\n" + talk.left(sent);
        QTRY_COMPARE_WITH_TIMEOUT(QFile(log).size(), qint64(expected.size()), 10000);
        QCOMPARE(readFile(log), expected);
    }

    // Beyond the holding queue the line is made to wait and the overflow is said once;
    // memory stays bounded, and what was held still reaches the log.
    void aFloodBeyondTheQueueSaysSoOnce()
    {
        FailingLogSession logging;
        PtySession& s = logging.s;
        const QString& log = logging.log;
        const QByteArray block = numberedLines(0, 2000);
        qint64 sent = 0;
        bool refusedWhenFull = false;
        s.w.boxes.whileShown = [&] {
            if (s.w.boxes.shown.size() != 1)
                return; // the overflow alert, shown above the Retry box
            // Open until the queue is full, the line refuses more and the overflow was said.
            // A refusal alone proves nothing: a reader slowed by a busy machine makes the
            // line refuse long before the queue is full.
            QElapsedTimer open;
            open.start();
            while ((!refusedWhenFull || s.w.boxes.shown.size() < 2) && open.elapsed() < 60000) {
                const qint64 taken = s.pty->offer(block);
                sent += taken;
                refusedWhenFull |= taken == 0 && s.serial.held() >= QtSerialComm::kHoldBytes;
                QTest::qWait(taken == 0 ? 20 : 0);
            }
        };
        s.w.boxes.answers = {mb::Retry, mb::Ok};
        s.pty->write("x");
        // The flood runs inside the Retry box, which is closed again once it is seen.
        QTRY_VERIFY_WITH_TIMEOUT(!s.w.boxes.shown.isEmpty(), 30000);
        QVERIFY(refusedWhenFull);
        QCOMPARE(s.w.boxes.shown.size(), 2);
        QCOMPARE(s.w.boxes.shown[1].text, QStringLiteral("Receive Buffer Overflow"));
        QVERIFY(sent > QtSerialComm::kHoldBytes);
        QVERIFY(s.serial.portOpen());
        QTRY_COMPARE_WITH_TIMEOUT(QFile(log).size(), qint64(1 + sent), 30000);
        QCOMPARE(s.w.boxes.shown.size(), 2);
        if (!underAddressSanitizer())
            QVERIFY2(peakResidentMegabytes() < 100,
                     qPrintable(QString::number(peakResidentMegabytes())));
    }

    // The adapter is pulled and plugged in again at the same path: the port reopens by
    // itself, sends nothing, and text flows both ways.
    void aLostDeviceIsReopenedWhenItComesBack()
    {
        PtySession s;
        s.pty->collect(1);
        s.unplug();
        QTRY_VERIFY(!s.serial.portOpen());
        QVERIFY(!s.form->MOpen->isChecked());
        s.plugIn();
        QTRY_VERIFY_WITH_TIMEOUT(s.serial.portOpen(), 2500);
        QVERIFY(s.form->MOpen->isChecked());
        QCOMPARE(s.form->Label1->text(), QStringLiteral("Port 1 back: ttyV0 reopened"));
        QCOMPARE(s.form->Label1->toolTip(), s.device());
        QCOMPARE(s.pty->readAvailable(200), QByteArray());
        s.pty->write("hello\r");
        QTRY_COMPARE(s.form->Term->text(), QStringLiteral("hello\r\n"));
        s.form->show();
        s.form->Term->setFocus();
        QTest::keyClick(s.form->Term, Qt::Key_A);
        QCOMPARE(s.pty->collect(1), QByteArray("a"));
    }

    // "Port Open" while the adapter is out fails, and the port still opens once it is back.
    void aFailedOpenKeepsWaitingForTheDevice()
    {
        PtySession s;
        s.pty->collect(1);
        s.unplug();
        QTRY_VERIFY(!s.serial.portOpen());
        s.form->MOpen->trigger();
        s.form->MOpen->trigger();
        QVERIFY(!s.serial.portOpen());
        QCOMPARE(s.w.boxes.shown.size(), 2);
        s.plugIn();
        QTRY_VERIFY_WITH_TIMEOUT(s.serial.portOpen(), 2000);
        QVERIFY(s.form->MOpen->isChecked());
    }

    void aPortTheUserClosedStaysClosed()
    {
        PtySession s;
        s.pty->collect(1);
        s.unplug();
        QTRY_VERIFY(!s.serial.portOpen());
        s.plugIn();
        QTRY_VERIFY_WITH_TIMEOUT(s.serial.portOpen(), 2000);
        s.form->MOpen->trigger(); // closed by hand after it was open again
        QVERIFY(!s.serial.portOpen());
        s.unplug();
        s.plugIn();
        letPeriodsPass(QtSerialComm::kReconnectMs, 3);
        QVERIFY(!s.serial.portOpen());
        QCOMPARE(s.pty->readAvailable(), QByteArray());
    }

    void waitingForALostDeviceCostsNothing()
    {
        PtySession s;
        s.pty->collect(1);
        s.unplug();
        QTRY_VERIFY(!s.serial.portOpen());
        const double cpu = processCpuSeconds();
        letPeriodsPass(QtSerialComm::kReconnectMs, 10);
        QVERIFY2(processCpuSeconds() - cpu < 0.05, "waiting keeps the processor busy");
    }
};

QTEST_MAIN(TestSerialLine)
#include "tst_serialline.moc"
