// An FTDI adapter on the kernel's own USB serial driver, pulled out of the guest's USB
// bus while the car screen has its port open, and plugged back.
#include "carscreen/texts.h"
#include "core/portmap.h"
#include "fakes.h"
#include "shell/form1.h"
#include "testfiles.h"
#include "vmrig.h"
#include "widgets/crlfedit.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestVmReplug : public QObject
{
    Q_OBJECT

    Rig controller;
    QTemporaryDir dir;
    std::unique_ptr<DeviceSession> s;
    QString log;

    // The car screen on the adapter's port, open, logging; what the adapter said
    // already on screen and in the log.
    void openOnTheAdapter(const QByteArray& said)
    {
        QVERIFY2(controller.plugAndWait(rig::kUsb1), qPrintable(controller.why()));
        QtSerialComm probe;
        const int port = portNumberOf(probe, rig::kUsb1);
        QVERIFY(port > PortMap::kBuiltIn);
        s = std::make_unique<DeviceSession>(port, QStringLiteral("115200,n,8,1"));
        QCOMPARE(s->serial.deviceName(), rig::devicePath(rig::kUsb1));
        s->openLog(log);
        controller.take(rig::kUsb1, 0, 0);
        s->load();
        QVERIFY(s->serial.portOpen());
        QCOMPARE(controller.take(rig::kUsb1, 1, 5000), QByteArray("\r"));
        QVERIFY2(controller.send(rig::kUsb1, said), qPrintable(controller.why()));
        QTRY_COMPARE_WITH_TIMEOUT(QFile(log).size(), qint64(loggedText(said).size()), 10000);
    }

    // The status line's words for the adapter, which name it by the kernel's name its
    // stable name leads to now.
    QString message(bool lost) const
    {
        const QString device = rig::devicePath(rig::kUsb1);
        const QString name = PortMap::shortName(device, QFileInfo(device).canonicalFilePath());
        const int port = s->serial.commPort();
        return lost ? portLostText(port, name) : portBackText(port, name);
    }

    void typeKey(Qt::Key key)
    {
        s->form->show();
        s->form->Term->setFocus();
        QTest::keyClick(s->form->Term, key);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(controller.ok(), qPrintable(controller.why()));
        QVERIFY2(controller.pullAndWait(rig::kUsb2), qPrintable(controller.why()));
    }
    void init() { log = dir.filePath(QString::fromLatin1(QTest::currentTestFunction())); }
    void cleanup() { s.reset(); }
    void cleanupTestCase() { controller.pull(rig::kUsb1); }

    // Pulled: said at once in the status line, naming the port; the program goes on and
    // everything received before is in the log. Plugged back: open again within two
    // seconds of the machine having the device, nothing sent, text flows both ways. Three
    // times, as the driver may tell the loss through a read or through the modem lines.
    void aPulledAdapterIsReportedAndReopenedWhenPluggedBack()
    {
        QByteArray sent = numberedLines(1, 400);
        openOnTheAdapter(sent);
        const QString device = rig::devicePath(rig::kUsb1);
        for (int cycle = 1; cycle <= 3; ++cycle) {
            const QString lost = message(true);
            QElapsedTimer clock;
            QVERIFY2(controller.pull(rig::kUsb1), qPrintable(controller.why()));
            clock.start();
            const qint64 said = waitUntil([&] { return s->form->Label1->text() == lost; }, 5000);
            QCOMPARE(s->form->Label1->text(), lost);
            QCOMPARE(s->form->Label1->toolTip(), device);
            QVERIFY2(said <= 1000, qPrintable(QString::number(said)));
            QVERIFY(!s->serial.portOpen());
            QVERIFY(!s->form->MOpen->isChecked());
            QVERIFY(s->w.boxes.shown.isEmpty());
            QCOMPARE(readFile(log), loggedText(sent));
            QCOMPARE(s->form->Term->text().right(64),
                     QString::fromLatin1(loggedText(sent).right(64)));
            // Gone from the machine too, and the status line still says so.
            QVERIFY(waitUntil([&] { return !QFileInfo::exists(device); }, 10000) >= 0);
            QCOMPARE(s->form->Label1->text(), lost);

            QVERIFY2(controller.plug(rig::kUsb1), qPrintable(controller.why()));
            clock.start();
            QVERIFY(waitUntil([&] { return QFileInfo::exists(device); }, 10000) >= 0);
            const qint64 named = clock.elapsed();
            const qint64 reopened = waitUntil([&] { return s->serial.portOpen(); }, 5000);
            QVERIFY(s->serial.portOpen());
            qInfo("cycle %d: pulled out, \"%s\" after %lld ms; plugged back, named by udev "
                  "after %lld ms, open again %lld ms later",
                  cycle, qPrintable(lost), said, named, reopened);
            QVERIFY2(reopened <= 2000, qPrintable(QString::number(reopened)));
            QCOMPARE(s->form->Label1->text(), message(false));
            QVERIFY(s->form->MOpen->isChecked());

            // A key typed now is the first thing the controller gets since the plug: the
            // reopened port sent nothing of its own.
            typeKey(Qt::Key_A);
            QCOMPARE(controller.take(rig::kUsb1, 1, 5000), QByteArray("a"));

            const QByteArray after = numberedLines(400 + 100 * cycle, 100);
            QVERIFY2(controller.send(rig::kUsb1, after), qPrintable(controller.why()));
            sent += after;
            QTRY_COMPARE_WITH_TIMEOUT(QFile(log).size(), qint64(loggedText(sent).size()), 10000);
            QCOMPARE(readFile(log), loggedText(sent));
            QCOMPARE(s->form->Term->text().right(64),
                     QString::fromLatin1(loggedText(after).right(64)));
            QVERIFY(s->w.boxes.shown.isEmpty());
        }
    }

    // Pulled, the technician tries to open it (a box says it is not there): plugged
    // back, it opens all the same. Closed by hand once open, then pulled and plugged back,
    // it stays closed until opened by hand.
    void aPortClosedByHandIsNotReopened()
    {
        openOnTheAdapter("hello\r\n");
        const QString lost = message(true);
        QVERIFY2(controller.pullAndWait(rig::kUsb1), qPrintable(controller.why()));
        // The device may be gone from the machine a moment before the program hears of it.
        QVERIFY(waitUntil([&] { return s->form->Label1->text() == lost; }, 5000) >= 0);
        QVERIFY2(!s->serial.portOpen(), "open with the adapter gone");
        s->form->MOpen->trigger();
        QCOMPARE(s->w.boxes.shown.size(), 1);
        QVERIFY2(!s->serial.portOpen(), "open though the adapter is gone");
        QVERIFY2(controller.plugAndWait(rig::kUsb1), qPrintable(controller.why()));
        QVERIFY2(waitUntil([&] { return s->serial.portOpen(); }, 2000) >= 0,
                 "a failed open stopped the wait for the adapter");
        QCOMPARE(controller.take(rig::kUsb1, 0, 0), QByteArray());

        s->form->MOpen->trigger(); // closed by hand
        QVERIFY(!s->serial.portOpen());
        QVERIFY2(controller.pullAndWait(rig::kUsb1), qPrintable(controller.why()));
        QVERIFY2(controller.plugAndWait(rig::kUsb1), qPrintable(controller.why()));
        // Absence can only be waited for: two of the lost port's watch periods after the
        // device is back, the program would have opened it.
        QTest::qWait(2 * QtSerialComm::kReconnectMs + 500);
        QVERIFY2(!s->serial.portOpen(), "reopened though closed by hand");
        QVERIFY(!s->form->MOpen->isChecked());
        QCOMPARE(controller.take(rig::kUsb1, 0, 0), QByteArray());
        s->form->MOpen->trigger();
        QVERIFY(s->serial.portOpen());
        typeKey(Qt::Key_B);
        QCOMPARE(controller.take(rig::kUsb1, 1, 5000), QByteArray("b"));
    }
};

QTEST_MAIN(TestVmReplug)
#include "tst_vm_replug.moc"
