// Controller text at 115,200 baud through the guest's 16550 UART and its FTDI adapter
// at once, each capture log's Retry box held open for 10 s on the way: the program keeps
// reading the line meanwhile, and every byte reaches the log, in order.
#include "fakes.h"
#include "shell/form1.h"
#include "testfiles.h"
#include "vmrig.h"
#include "widgets/crlfedit.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
constexpr qint64 kFeedBytes = 256 * 1024;
constexpr int kPieceBytes = 184; // what a USB adapter hands over at a time
constexpr int kBoxOpenMs = 10000;
constexpr double kScheduleSeconds = double(kFeedBytes) / rig::kLineBytesPerSecond;

// One line with the car screen on it, logging to a file whose write fails when asked.
struct Line {
    QByteArray name;
    FailingFiles files;
    std::unique_ptr<DeviceSession> s;
    std::unique_ptr<CommEvents> seen;
    QString log;
    QByteArray fed;
    qint64 boxOpenMs = 0;
    qint64 mostHeld = 0; // the most the port held while the box was open
};
} // namespace

class TestVmLineRate : public QObject
{
    Q_OBJECT

    Rig controller;
    QTemporaryDir dir;

    void openScreen(Line& l, int port)
    {
        l.s = std::make_unique<DeviceSession>(port, QStringLiteral("115200,n,8,1"), &l.files);
        QCOMPARE(l.s->serial.deviceName(), rig::devicePath(l.name));
        l.log = dir.filePath(QString::fromLatin1(l.name) + QStringLiteral(".log"));
        l.s->openLog(l.log);
        l.seen = std::make_unique<CommEvents>(l.s->serial);
        l.s->load();
        QVERIFY(l.s->serial.portOpen());
        QCOMPARE(controller.take(l.name, 1, 5000), QByteArray("\r"));
        l.s->w.boxes.answers = {mb::Retry};
        l.s->w.boxes.whileShown = [&l] {
            QElapsedTimer open;
            open.start();
            while (open.elapsed() < kBoxOpenMs) {
                QTest::qWait(50);
                l.mostHeld = qMax(l.mostHeld, l.s->serial.held());
            }
            l.boxOpenMs = open.elapsed();
        };
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(controller.firstAdapterOnly(), qPrintable(controller.why())); }
    void cleanupTestCase() { controller.pull(rig::kUsb1); }

    void bothLinesAtLineRateWithARetryBoxOpen()
    {
        Line uart;
        uart.name = rig::kUart;
        Line usb;
        usb.name = rig::kUsb1;
        openScreen(uart, rig::kUartPort);
        QtSerialComm probe;
        openScreen(usb, portNumberOf(probe, rig::kUsb1));

        int seed = 0;
        for (Line* l : {&uart, &usb}) {
            const std::optional<QByteArray> text =
                controller.feed(l->name, kFeedBytes, kPieceBytes, ++seed);
            QVERIFY2(text, qPrintable(controller.why()));
            l->fed = *text;
        }
        // A third of the way in, each log's next write fails: a Retry box on each screen,
        // open for 10 s while both lines go on.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(uart.log).size() >= kFeedBytes / 3, 60000);
        uart.files.failures = 1;
        usb.files.failures = 1;

        for (Line* l : {&uart, &usb}) {
            const std::optional<Rig::Fed> fed = controller.fed(l->name, 120000);
            QVERIFY2(fed, qPrintable(controller.why()));
            const QByteArray logged = loggedText(l->fed);
            QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(l->log).size(), qint64(logged.size()), 30000);
            qInfo("%s: %lld bytes fed in %.1f s (%.1f s due), pieces at most %.0f ms late; "
                  "box open %lld ms, up to %lld bytes held meanwhile; log %lld bytes",
                  l->name.constData(), fed->bytes, fed->seconds, kScheduleSeconds, fed->lateMs,
                  l->boxOpenMs, l->mostHeld, QFileInfo(l->log).size());
            QCOMPARE(fed->bytes, kFeedBytes);
            // Near the line's rate: the guest took the text about as it came (its UART
            // makes the far end wait while the emulated processor is behind).
            QVERIFY2(fed->seconds < 1.5 * kScheduleSeconds,
                     qPrintable(QString::number(fed->seconds)));
            QCOMPARE(readFile(l->log), logged);
            QCOMPARE(l->s->form->Term->text().right(256), QString::fromLatin1(logged.right(256)));
            QCOMPARE(l->s->w.boxes.shown.size(), 1);
            QCOMPARE(l->s->w.boxes.shown[0].buttons, mb::RetryCancelStop);
            QVERIFY(l->boxOpenMs >= kBoxOpenMs);
            // The port went on reading the line while the box was open, beyond what it
            // reads ahead otherwise: the driver's buffer was never left to fill.
            QVERIFY2(l->mostHeld > QtSerialComm::kReadAheadBytes,
                     qPrintable(QString::number(l->mostHeld)));
            QCOMPARE(l->seen->codes, QList<int>{});
            QVERIFY(l->s->serial.portOpen());
        }
    }
};

QTEST_MAIN(TestVmLineRate)
#include "tst_vm_linerate.moc"
