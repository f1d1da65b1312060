// The car screen through Debian's ser2net on 127.0.0.1, in front of a pseudo-terminal
// where the simulated controller runs.
#include "delayproxy.h"
#include "diagnostics/signalgrid.h"
#include "diagnostics/statusscanner.h"
#include "ser2netfixture.h"
#include "shell/form1.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
QString stty(const QString& device)
{
    QProcess p;
    p.start(QStringLiteral("stty"), {QStringLiteral("-a"), QStringLiteral("-F"), device});
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QStringList words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '));
}

bool sttyShows(const QString& device, const QStringList& words)
{
    const QStringList shown = stty(device).split(QRegularExpression(QStringLiteral("[ ;\n]+")));
    for (const QString& w : words)
        if (!shown.contains(w))
            return false;
    return true;
}
} // namespace

class TestNetSer2Net : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimController> sim;
    std::unique_ptr<Ser2Net> server;

    // The controller and ser2net in front of it; false with the reason in `why`.
    QString why;
    bool startAll(bool otherCert = false)
    {
        sim = std::make_unique<SimController>(QStringList{QStringLiteral("--chunks")});
        why = sim->why;
        if (sim->device.isEmpty())
            return false;
        server = std::make_unique<Ser2Net>(sim->device, otherCert);
        const bool started = server->start();
        why = server->why;
        return started;
    }

    static void pollUntilAWholeDump(Form1& form)
    {
        form.Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(showsWholeDump(*form.grid), kWholeDumpMs);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }
    void cleanup()
    {
        server.reset();
        sim.reset();
    }

    void gridFillsAndAStopCounts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("telnet with COM port control") << int(Ser2Net::Plain);
        QTest::newRow("in TLS, server checked against a CA") << int(Ser2Net::Tls);
        QTest::newRow("raw bytes") << int(Ser2Net::Raw);
    }
    void gridFillsAndAStopCounts()
    {
        QFETCH(int, kind);
        QVERIFY2(startAll(), qPrintable(why));
        NetScreen screen(server->address(Ser2Net::Kind(kind)));
        QVERIFY2(screen.serial.portOpen(), qPrintable(screen.w.boxes.shown.value(0).text));
        pollUntilAWholeDump(*screen.form);
        QTRY_COMPARE_WITH_TIMEOUT(screen.form->scanner().StopCount(), qint16(1), 8000);
    }

    // A pseudo-terminal holds speed and stop bits; it keeps 8 data bits and no parity
    // whatever it is asked (and the server answers with what was asked).
    void settingsReachTheDevice_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("stty");
        QTest::newRow("115200, one stop bit")
            << QStringLiteral("115200,n,8,1") << words("115200 -cstopb");
        QTest::newRow("2400, two stop bits")
            << QStringLiteral("2400,n,8,2") << words("2400 cstopb");
        QTest::newRow("19200") << QStringLiteral("19200,n,8,1") << words("19200 -cstopb");
    }
    void settingsReachTheDevice()
    {
        QFETCH(QString, settings);
        QFETCH(QStringList, stty);
        QVERIFY2(startAll(), qPrintable(why));
        NetScreen screen(server->address());
        QVERIFY(screen.serial.portOpen());
        QVERIFY(!sttyShows(sim->device, stty));
        QVERIFY(screen.serial.setSettings(settings).ok());
        QTRY_VERIFY2_WITH_TIMEOUT(sttyShows(sim->device, stty), qPrintable(::stty(sim->device)),
                                  5000);
    }

    // 256 KB at 115,200 baud, every byte value (0xFF among them), through the server and
    // the holding queue while the first piece's handler keeps a box open for 10 s.
    void aFloodWithABoxOpenArrivesWhole()
    {
        Pty device;
        QVERIFY(device.ok());
        server = std::make_unique<Ser2Net>(device.path());
        QVERIFY2(server->start(), qPrintable(server->why));
        QByteArray flood;
        for (int i = 0; flood.size() < 256 * 1024; ++i)
            flood += char(i * 7 + i / 256);
        NetSerialComm port;
        port.setAddress(server->address());
        QVERIFY(port.setSettings(QStringLiteral("115200,n,8,1")).ok());
        QVERIFY(port.setPortOpen(true).ok());
        qsizetype offered = 0;
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout,
                         [&] { offered += device.offer(flood.mid(offered, 4096)); });
        QByteArray got;
        bool boxShown = false;
        QObject::connect(&port, &SerialComm::received, [&](const QByteArray& bytes) {
            got += bytes;
            if (std::exchange(boxShown, true))
                return;
            QEventLoop box; // the Retry box, open for 10 s
            QTimer::singleShot(10000, &box, &QEventLoop::quit);
            box.exec();
            QVERIFY(port.held() > 100 * 1024); // what came meanwhile waited
        });
        feeder.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(got.size() >= flood.size(), 60000);
        QCOMPARE(got.size(), flood.size());
        QVERIFY(got == flood);
        // And every byte value the other way.
        QByteArray every;
        for (int b = 0; b < 256; ++b)
            every += char(b);
        QVERIFY(port.output(QString::fromLatin1(every)).ok());
        QCOMPARE(device.collect(256).toHex(), every.toHex());
    }

    void aRestartedServerIsLostAndBack()
    {
        QVERIFY2(startAll(), qPrintable(why));
        NetScreen screen(server->address());
        pollUntilAWholeDump(*screen.form);
        server->stop();
        const QString place = QStringLiteral("127.0.0.1:%1").arg(server->plainPort);
        QTRY_COMPARE_WITH_TIMEOUT(screen.form->Label1->text(),
                                  QStringLiteral("Port 1 lost: %1 is gone").arg(place), 10000);
        QVERIFY(!screen.serial.portOpen());
        QVERIFY(server->start());
        QTRY_COMPARE_WITH_TIMEOUT(screen.form->Label1->text(),
                                  QStringLiteral("Port 1 back: %1 reopened").arg(place), 5000);
        pollUntilAWholeDump(*screen.form);
    }

    void aWatcherBesideAPollerWritesNothing()
    {
        QVERIFY2(startAll(), qPrintable(why));
        NetScreen watcher(server->address(), true);
        QVERIFY(watcher.serial.portOpen());
        QVERIFY(watcher.form->windowTitle().endsWith(QStringLiteral("watching only")));
        // Its screen tries to poll; the port sends nothing of it.
        const int refused = watcher.serial.refusedWrites();
        watcher.form->Command1->click();
        QCOMPARE(watcher.serial.refusedWrites(), refused + 1);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(server->dir.filePath(QStringLiteral("write.trace"))),
                                 5000);
        NetScreen poller(server->address());
        pollUntilAWholeDump(*poller.form);
        QTRY_VERIFY_WITH_TIMEOUT(showsWholeDump(*watcher.form->grid), kWholeDumpMs);
        QTRY_COMPARE_WITH_TIMEOUT(gridCells(*watcher.form->grid), gridCells(*poller.form->grid),
                                  kWholeDumpMs);
        // The trace holds only what the poller wrote: its commands.
        const QByteArray trace = server->writeTrace();
        QVERIFY(trace.startsWith("\r") || trace.startsWith("pmi"));
    }

    // 200 ms each way and a stall of 4 s: slow, but no loss.
    void aSlowStallingLinkStillFillsTheGrid()
    {
        QVERIFY2(startAll(), qPrintable(why));
        DelayProxy link(server->plainPort, 200);
        NetScreen screen(QStringLiteral("rfc2217://127.0.0.1:%1").arg(link.port()));
        QVERIFY(screen.serial.portOpen());
        pollUntilAWholeDump(*screen.form);
        QSignalSpy lost(&screen.serial, &SerialComm::deviceLost);
        link.setStalled(true);
        QTimer::singleShot(4000, &link, [&link] { link.setStalled(false); });
        screen.form->Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(showsWholeDump(*screen.form->grid), kWholeDumpMs);
        QTRY_COMPARE_WITH_TIMEOUT(screen.form->scanner().StopCount(), qint16(1), 10000);
        QCOMPARE(lost.size(), 0);
        QVERIFY(screen.serial.portOpen());
    }

    void aSilentLinkIsNoticedWithinTenSeconds()
    {
        QVERIFY2(startAll(), qPrintable(why));
        DelayProxy link(server->plainPort, 0);
        NetScreen screen(QStringLiteral("rfc2217://127.0.0.1:%1").arg(link.port()));
        QVERIFY(screen.serial.portOpen());
        QSignalSpy lost(&screen.serial, &SerialComm::deviceLost);
        link.setStalled(true);
        QVERIFY(lost.wait(10000));
        QVERIFY(screen.form->Label1->text().contains(QStringLiteral("lost")));
    }

    void aWrongCertificateIsRefused_data()
    {
        QTest::addColumn<bool>("withCa");
        QTest::newRow("not signed by the CA given") << true;
        QTest::newRow("not the certificate trusted before") << false;
    }
    void aWrongCertificateIsRefused()
    {
        QFETCH(bool, withCa);
        QVERIFY2(startAll(true), qPrintable(why));
        NetSerialComm port;
        const QString place = QStringLiteral("127.0.0.1:%1").arg(server->tlsPort);
        QSettings().setValue(QStringLiteral("trustedServers/127.0.0.1_%1").arg(server->tlsPort),
                             QStringLiteral("AA:BB"));
        port.setAddress(withCa ? server->address(Ser2Net::Tls)
                               : QStringLiteral("rfc2217://%1?tls").arg(place));
        const Result<> opened = port.setPortOpen(true);
        QVERIFY(!opened);
        QVERIFY2(opened.why().contains(withCa ? QStringLiteral("certificate")
                                              : QStringLiteral("has changed")),
                 qPrintable(opened.why()));
        QVERIFY(opened.why().contains(place));
        QVERIFY(withCa || opened.why().contains(QStringLiteral("AA:BB")));
    }

    void trustOnFirstUseAsksOnce()
    {
        QVERIFY2(startAll(), qPrintable(why));
        QSettings().remove(QStringLiteral("trustedServers"));
        int asked = 0;
        QString shown;
        for (int round = 0; round < 2; ++round) {
            NetSerialComm port;
            port.setTrustQuestion([&](const QString&, const QString& fingerprint) {
                ++asked;
                shown = fingerprint;
                return true;
            });
            port.setAddress(QStringLiteral("rfc2217://127.0.0.1:%1?tls").arg(server->tlsPort));
            const Result<> opened = port.setPortOpen(true);
            QVERIFY2(opened.ok(), qPrintable(opened.why()));
        }
        QCOMPARE(asked, 1);
        QCOMPARE(shown.size(), 32 * 3 - 1);
    }
};

QTEST_MAIN(TestNetSer2Net)
#include "tst_net_ser2net.moc"
