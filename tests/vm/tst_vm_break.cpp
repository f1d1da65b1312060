// Breaks on the guest's 16550 UART (the kernel's 8250 driver), sent from outside: the
// driver counts each one (TIOCGICOUNT) and hands the reader a NUL for it.
#include "fakes.h"
#include "shell/form1.h"
#include "testfiles.h"
#include "vmrig.h"
#include "widgets/crlfedit.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestVmBreak : public QObject
{
    Q_OBJECT

    Rig controller;
    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(controller.ok(), qPrintable(controller.why())); }

    // Text, then a break once the line is quiet, and so on: one "Break Received" per
    // break, and its NUL in the terminal and the log where the break came.
    void eachBreakIsOneNotificationAndItsNulIsText_data()
    {
        QTest::addColumn<QByteArrayList>("between");
        QTest::newRow("one break between two lines") << QByteArrayList{"before\r\n", "after\r\n"};
        QTest::newRow("three breaks, one inside a line")
            << QByteArrayList{"first line\r\n", "second", " line\r", "\nthird line\r\n"};
        QTest::newRow("two breaks with nothing between")
            << QByteArrayList{"one\r\n", "", "two\r\n"};
    }
    void eachBreakIsOneNotificationAndItsNulIsText()
    {
        QFETCH(QByteArrayList, between);
        const QString device = rig::devicePath(rig::kUart);
        const quint32 breaksBefore = driverBreaks(device);
        QVERIFY(breaksBefore != quint32(-1));
        DeviceSession s(rig::kUartPort, QStringLiteral("115200,n,8,1"));
        QCOMPARE(s.serial.deviceName(), device);
        const QString log = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        s.openLog(log);
        CommEvents seen(s.serial);
        controller.take(rig::kUart, 0, 0);
        s.load();
        QVERIFY(s.serial.portOpen());
        QCOMPARE(controller.take(rig::kUart, 1, 5000), QByteArray("\r"));

        QByteArray received;
        QList<int> breaks;
        for (qsizetype i = 0; i < between.size(); ++i) {
            if (i > 0) {
                QVERIFY2(controller.sendBreak(rig::kUart), qPrintable(controller.why()));
                received += '\0';
                breaks << comm::ErBreak;
                QTRY_COMPARE_WITH_TIMEOUT(seen.codes, breaks, 3000);
                QCOMPARE(s.form->Label1->text(), QStringLiteral("Break Received"));
            }
            QVERIFY2(controller.send(rig::kUart, between[i]), qPrintable(controller.why()));
            received += between[i];
            // The line is quiet again once all of it is on screen.
            QTRY_COMPARE_WITH_TIMEOUT(s.form->Term->text(),
                                      QString::fromLatin1(loggedText(received)), 5000);
        }
        // Absence can only be waited for: three readings of the counters after the last.
        QTest::qWait(3 * QtSerialComm::kWatchMs);
        QCOMPARE(seen.codes, breaks);
        QCOMPARE(readFile(log), loggedText(received));
        QCOMPARE(driverBreaks(device) - breaksBefore, quint32(breaks.size()));
        qInfo("%lld breaks: %lld notifications 1001, %lld NULs in the log of %lld bytes",
              qlonglong(breaks.size()), qlonglong(seen.codes.count(comm::ErBreak)),
              qlonglong(readFile(log).count('\0')), qlonglong(readFile(log).size()));
    }
};

QTEST_MAIN(TestVmBreak)
#include "tst_vm_break.moc"
