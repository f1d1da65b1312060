// The port settings window's list on the kernel's own USB serial driver (ftdi_sio) and
// udev, in the rig's guest: FTDI adapters plugged into the guest's USB bus and pulled
// out again from outside.
#include "fakes.h"
#include "shell/form1.h"
#include "terminal/configscrn.h"
#include "vmrig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// The list's row for an adapter, its columns joined by " | "; empty when it has none.
QString rowFor(const ConfigScrn& c, const QByteArray& line)
{
    for (int i = 0; i < c.List1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = c.List1->topLevelItem(i);
        if (item->text(5) != rig::devicePath(line))
            continue;
        QStringList columns;
        for (int k = 0; k < c.List1->columnCount(); ++k)
            columns << item->text(k);
        return columns.join(QStringLiteral(" | "));
    }
    return {};
}

// What the row says of a plugged adapter: number, the device its stable name leads to,
// what the adapter calls itself, its maker and serial number, the stable name.
QString adapterRow(int number, const QByteArray& line, const QString& device = {})
{
    const QString stable = rig::devicePath(line);
    const QString shown = device.isEmpty() ? QFileInfo(stable).canonicalFilePath() : device;
    return QStringList{QString::number(number),
                       shown,
                       device.isEmpty() ? QStringLiteral("QEMU USB SERIAL")
                                        : QStringLiteral("(unplugged) QEMU USB SERIAL"),
                       QStringLiteral("QEMU"),
                       rig::serialNumber(line),
                       stable}
        .join(QStringLiteral(" | "));
}

// The adapters the program lists as plugged in: "number | stable name".
QStringList adapterRows(SerialComm& serial)
{
    QStringList rows;
    for (const NumberedPort& p : serial.ports())
        if (p.number > PortMap::kBuiltIn && p.present)
            rows << QString::number(p.number) + QStringLiteral(" | ") + p.info.stableName;
    return rows;
}

// The kernel's USB serial devices, named or not.
QStringList usbDevices()
{
    return QDir(QStringLiteral("/dev")).entryList({QStringLiteral("ttyUSB*")}, QDir::System);
}

// udev told to hold its events while this lives (or until released): the kernel's new
// devices are there, udev's names for them wait.
struct UdevHeld {
    bool ok = control(QStringLiteral("--stop-exec-queue"));
    bool held = ok;
    ~UdevHeld() { release(); }
    void release()
    {
        if (held)
            control(QStringLiteral("--start-exec-queue"));
        held = false;
    }
    static bool control(const QString& what)
    {
        QProcess udevadm;
        udevadm.start(QStringLiteral("udevadm"), {QStringLiteral("control"), what});
        return udevadm.waitForFinished(10000) && udevadm.exitCode() == 0;
    }
};

// The car screen over the system's ports, its port closed, with the settings window.
struct SettingsWindow {
    FakeWorld w;
    QtSerialComm serial;
    std::unique_ptr<Form1> form;
    ConfigScrn* c = nullptr;
    SettingsWindow()
    {
        Services s = w.services();
        s.serial = &serial;
        form = std::make_unique<Form1>(s);
        form->MSettings_Click();
        c = form->configScrn();
    }
};
} // namespace

class TestVmPorts : public QObject
{
    Q_OBJECT

    Rig controller;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(controller.ok(), qPrintable(controller.why())); }
    void init()
    {
        QVERIFY2(controller.pullAndWait(rig::kUsb1), qPrintable(controller.why()));
        QVERIFY2(controller.pullAndWait(rig::kUsb2), qPrintable(controller.why()));
    }
    void cleanupTestCase()
    {
        controller.pull(rig::kUsb1);
        controller.pull(rig::kUsb2);
    }

    // Plugged in before the program first looks: numbered from 5 in the order of the
    // stable names, whatever order the kernel gave their devices.
    void adaptersFoundAtTheFirstLookAreNumberedByStableName()
    {
        QVERIFY2(controller.plugAndWait(rig::kUsb2), qPrintable(controller.why()));
        QVERIFY2(controller.plugAndWait(rig::kUsb1), qPrintable(controller.why()));
        const QString device1 = QFileInfo(rig::devicePath(rig::kUsb1)).canonicalFilePath();
        const QString device2 = QFileInfo(rig::devicePath(rig::kUsb2)).canonicalFilePath();
        qInfo("usb1 is %s, usb2 is %s", qPrintable(device1), qPrintable(device2));
        QVERIFY2(device2 < device1, "the kernel numbered the devices in the names' order: "
                                    "the test would not tell the two orders apart");
        SettingsWindow s;
        QVERIFY(s.c);
        QCOMPARE(rowFor(*s.c, rig::kUsb1), adapterRow(5, rig::kUsb1));
        QCOMPARE(rowFor(*s.c, rig::kUsb2), adapterRow(6, rig::kUsb2));
    }

    // udev names an adapter a moment after the kernel makes its device; here the moment
    // is stretched (udev holds its events) and the program looks meanwhile: it does not
    // number the device before udev has named it, so the adapter has one number, under
    // its stable name, on every plug.
    void aNewAdapterIsNumberedOnceUnderItsStableName()
    {
        QtSerialComm serial;
        QCOMPARE(adapterRows(serial), QStringList{}); // the first look: nothing plugged
        const QStringList numbered{QStringLiteral("5 | ") + rig::devicePath(rig::kUsb1)};
        for (int plug = 1; plug <= 2; ++plug) {
            UdevHeld held;
            QVERIFY(held.ok);
            QVERIFY2(controller.plug(rig::kUsb1), qPrintable(controller.why()));
            QVERIFY(waitUntil([] { return !usbDevices().isEmpty(); }, 10000) >= 0);
            QCOMPARE(adapterRows(serial), QStringList{});
            QCOMPARE(adapterRows(serial), QStringList{});
            held.release();
            QVERIFY(waitUntil([] { return QFileInfo::exists(rig::devicePath(rig::kUsb1)); },
                              10000) >= 0);
            QCOMPARE(adapterRows(serial), numbered);
            qInfo("plug %d: %s held by udev, not listed; named, listed as %s", plug,
                  qPrintable(usbDevices().join(QLatin1Char(' '))), qPrintable(numbered.first()));
            QVERIFY2(controller.pullAndWait(rig::kUsb1), qPrintable(controller.why()));
        }
    }

    // Plugged in while the window is open: shown with the next free number within two
    // seconds of the machine having it (udev has named it); pulled, it keeps its row and
    // number, marked unplugged; plugged back, the same number again.
    void aPluggedAdapterShowsWithinTwoSecondsAndKeepsItsNumber()
    {
        SettingsWindow s;
        QVERIFY(s.c);
        QCOMPARE(rowFor(*s.c, rig::kUsb1), QString());
        QCOMPARE(rowFor(*s.c, rig::kUsb2), QString());
        const auto plugAndSee = [&](const QByteArray& line, int number) {
            QElapsedTimer clock;
            QVERIFY2(controller.plug(line), qPrintable(controller.why()));
            clock.start();
            const QString stable = rig::devicePath(line);
            QVERIFY(waitUntil([&] { return QFileInfo::exists(stable); }, 10000) >= 0);
            const qint64 named = clock.elapsed();
            const qint64 shown =
                waitUntil([&] { return rowFor(*s.c, line) == adapterRow(number, line); }, 5000);
            QCOMPARE(rowFor(*s.c, line), adapterRow(number, line));
            qInfo("%s plugged in: named by udev after %lld ms, shown as port %d %lld ms later",
                  line.constData(), named, number, shown);
            QVERIFY2(shown <= 2000, qPrintable(QString::number(shown)));
        };

        plugAndSee(rig::kUsb2, 5);
        if (QTest::currentTestFailed())
            return;
        plugAndSee(rig::kUsb1, 6);
        if (QTest::currentTestFailed())
            return;

        const QString device2 = QFileInfo(rig::devicePath(rig::kUsb2)).canonicalFilePath();
        QElapsedTimer clock;
        QVERIFY2(controller.pull(rig::kUsb2), qPrintable(controller.why()));
        clock.start();
        const qint64 marked = waitUntil(
            [&] { return rowFor(*s.c, rig::kUsb2) == adapterRow(5, rig::kUsb2, device2); }, 5000);
        QCOMPARE(rowFor(*s.c, rig::kUsb2), adapterRow(5, rig::kUsb2, device2));
        qInfo("usb2 pulled out: port 5 marked unplugged after %lld ms", marked);
        QVERIFY2(marked <= 2000, qPrintable(QString::number(marked)));
        QCOMPARE(rowFor(*s.c, rig::kUsb1), adapterRow(6, rig::kUsb1));

        plugAndSee(rig::kUsb2, 5);
        QCOMPARE(rowFor(*s.c, rig::kUsb1), adapterRow(6, rig::kUsb1));
    }
};

QTEST_MAIN(TestVmPorts)
#include "tst_vm_ports.moc"
