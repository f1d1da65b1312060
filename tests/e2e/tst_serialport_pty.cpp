// The real serial port service over a pseudo-terminal, with the test as controller.
#include "core/carmodel.h"
#include "fakes.h"
#include "platform/qtserialcomm.h"
#include "ptyfixture.h"
#include "shell/form1.h"
#include "terminal/serialterminal.h"
#include "widgets/crlfedit.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// Plays the controller: the bytes in one write (maxPiece 0) or in random pieces of at
// most maxPiece bytes, letting the program read between them.
void writeInPieces(Pty& pty, const QByteArray& bytes, int maxPiece, quint32 seed)
{
    QRandomGenerator rng(seed);
    for (int at = 0; at < bytes.size();) {
        const int n = maxPiece == 0 ? int(bytes.size()) : 1 + int(rng.bounded(quint32(maxPiece)));
        pty.write(bytes.mid(at, n));
        at += n;
        if (maxPiece)
            QTest::qWait(0);
    }
}
} // namespace

class TestSerialPortPty : public QObject
{
    Q_OBJECT

    using Session = PtySession;

private Q_SLOTS:
    void loadSendsOneCR()
    {
        Session s;
        QVERIFY(s.serial.portOpen());
        QVERIFY(s.form->MOpen->isChecked());
        QCOMPARE(s.pty->collect(1), QByteArray("\r"));
    }

    void controllerBytesReachTerminalExactly_data()
    {
        QTest::addColumn<int>("maxPiece");
        QTest::newRow("one write") << 0;
        QTest::newRow("byte by byte") << 1;
        QTest::newRow("random cuts") << 37;
    }
    void controllerBytesReachTerminalExactly()
    {
        QFETCH(int, maxPiece);
        Session s;
        s.form->show();
        QByteArray bytes;
        for (int i = 0; i < 40; ++i)
            bytes += "VEL =   " + QByteArray::number(i) + "\r\nbare\rlf\n";
        for (int c = 0; c < 256; ++c)
            if (c != 8 && c != 10 && c != 13)
                bytes += char(c);
        QString expected = QString::fromLatin1(bytes);
        expected.remove(QLatin1Char('\n'));
        expected.replace(QLatin1Char('\r'), QStringLiteral("\r\n"));

        writeInPieces(*s.pty, bytes, maxPiece, 7);
        QTRY_COMPARE_WITH_TIMEOUT(s.form->Term->length(), int(expected.size()), 5000);
        QCOMPARE(s.form->Term->text(), expected);
        QCOMPARE(s.form->model().parseBuffer().text(), expected.right(418));
    }

    void controllerBytesReachTheCaptureLogExactly_data()
    {
        controllerBytesReachTerminalExactly_data();
    }
    void controllerBytesReachTheCaptureLogExactly()
    {
        QFETCH(int, maxPiece);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("capture.log"));
        Session s;
        s.w.dialogScript->push_back(log);
        s.form->MOpenLog->trigger();
        QByteArray bytes;
        for (int i = 0; i < 300; ++i)
            bytes += "> PMII line " + QByteArray::number(i) + "\r\n\rno-lf\n\x01\xfe";
        QByteArray expected = bytes;
        expected.replace("\n", "");
        expected.replace("\r", "\r\n");
        writeInPieces(*s.pty, bytes, maxPiece, 11);
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(log).size(), qint64(expected.size()), 5000);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
    }

    void typedKeysReachTheController()
    {
        Session s;
        s.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
        s.pty->collect(1);
        s.form->Term->setFocus();
        QTest::keyClicks(s.form->Term, QStringLiteral("vel"));
        QTest::keyClick(s.form->Term, Qt::Key_Return);
        QCOMPARE(s.pty->collect(4), QByteArray("vel\r"));
        QVERIFY(s.form->Term->text().isEmpty());
    }

    void vanishedDeviceIsOneReportAndNoBusyLoop()
    {
        Session s;
        s.pty->collect(1);
        s.pty->closeMaster();
        QTRY_VERIFY(!s.serial.portOpen());
        QCOMPARE(s.form->Label1->toolTip(), s.device());
        QVERIFY(!s.form->MOpen->isChecked());
        QVERIFY(s.w.boxes.shown.isEmpty());
        const double cpu = processCpuSeconds();
        letPeriodsPass(QtSerialComm::kReconnectMs, 2);
        QVERIFY2(processCpuSeconds() - cpu < 0.3, "the lost port keeps the processor busy");

        // Back again (a new device for port 1): the menu opens it.
        Pty again;
        const QString device = s.folder.filePath(QStringLiteral("ttyV1"));
        QVERIFY(QFile::link(again.path(), device));
        qputenv("VANTREL_COM1", QFile::encodeName(device));
        s.form->MOpen->trigger();
        QVERIFY(s.serial.portOpen());
        QVERIFY(s.form->MOpen->isChecked());
        again.write("back\r");
        QTRY_VERIFY(s.form->Term->text().endsWith(QStringLiteral("back\r\n")));
    }

    void missingDeviceIsExplained()
    {
        PortScreen s;
        s.load(QStringLiteral("/dev/vantrel-no-such-device"));
        const auto& shown = s.w.boxes.shown;
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(QStringLiteral("/dev/vantrel-no-such-device")),
                 qPrintable(shown[0].text));
        QVERIFY(!s.form->MOpen->isChecked());
    }

    void floodIsReadInBoundedPieces()
    {
        Session s;
        s.pty->collect(1);
        int longest = 0;
        QObject::connect(s.form->Term, &CrLfEdit::Change,
                         [&] { longest = qMax(longest, s.form->Term->length()); });
        // Every bare CR gains an LF: a flood of them is the worst case for growth.
        s.pty->write(QByteArray(100000, '\r'));
        QTRY_VERIFY_WITH_TIMEOUT(s.form->Term->text().count(QLatin1Char('\r')) > 6000, 10000);
        QVERIFY2(longest < 16384 + 4096, qPrintable(QString::number(longest)));
    }
};

QTEST_MAIN(TestSerialPortPty)
#include "tst_serialport_pty.moc"
