// Line settings chosen in the port settings window, read back from the kernel's own
// drivers (8250 for the UART, ftdi_sio for the adapter) with stty.
#include "fakes.h"
#include "shell/form1.h"
#include "terminal/configscrn.h"
#include "vmrig.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// The list's row for a device: by its device path or its stable name.
QTreeWidgetItem* rowFor(const ConfigScrn& c, const QString& device)
{
    for (int i = 0; i < c.List1->topLevelItemCount(); ++i)
        if (c.List1->topLevelItem(i)->text(1) == device ||
            c.List1->topLevelItem(i)->text(5) == device)
            return c.List1->topLevelItem(i);
    return nullptr;
}
} // namespace

class TestVmSettings : public QObject
{
    Q_OBJECT

    Rig controller;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(controller.firstAdapterOnly(), qPrintable(controller.why())); }
    void cleanupTestCase() { controller.pull(rig::kUsb1); }

    // The port is open at 9600,n,8,1; its row is chosen in the window and the settings
    // typed; closing the window applies them.
    void chosenSettingsReachTheDriver_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("driver");
        const QStringList defaults{"speed 9600", "-parenb", "-parodd", "-cmspar", "cs8", "-cstopb"};
        for (const char* line : {rig::kUart, rig::kUsb1}) {
            const QByteArray l(line);
            QTest::addRow("%s: 19200, even parity, 7 data bits", line)
                << l << "19200,e,7,1"
                << QStringList{"speed 19200", "parenb", "-parodd", "-cmspar", "cs7", "-cstopb"};
            QTest::addRow("%s: 4800, odd parity, 2 stop bits", line)
                << l << "4800,o,8,2"
                << QStringList{"speed 4800", "parenb", "parodd", "-cmspar", "cs8", "cstopb"};
            QTest::addRow("%s: 115200, mark parity", line)
                << l << "115200,m,8,1"
                << QStringList{"speed 115200", "parenb", "parodd", "cmspar", "cs8", "-cstopb"};
            QTest::addRow("%s: the defaults again", line) << l << "9600,n,8,1" << defaults;
        }
    }
    void chosenSettingsReachTheDriver()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, settings);
        QFETCH(QStringList, driver);
        FakeWorld w;
        QtSerialComm serial;
        Services s = w.services();
        s.serial = &serial;
        Form1 form(s);
        const QString device = rig::devicePath(line);
        const int number = portNumberOf(serial, line);
        QVERIFY(number > 0);
        QVERIFY(serial.setCommPort(number));
        QVERIFY(serial.setSettings(QStringLiteral("9600,n,8,1")));
        form.MOpen->trigger();
        QVERIFY(serial.portOpen());
        QCOMPARE(driverSettings(device).first(), QStringLiteral("speed 9600"));

        form.MSettings_Click();
        ConfigScrn* c = form.configScrn();
        QVERIFY(c);
        QTreeWidgetItem* row = rowFor(*c, device);
        QVERIFY(row);
        c->Text2->clear();
        // The technician clicks the adapter's row.
        QTest::mouseClick(c->List1->viewport(), Qt::LeftButton, {},
                          c->List1->visualItemRect(row).center());
        QCOMPARE(c->Text2->text(), QString::number(number));
        c->Text1->setText(settings);
        c->close();
        QVERIFY(w.boxes.shown.isEmpty());
        QVERIFY(serial.portOpen());
        QVERIFY(form.MOpen->isChecked());
        QCOMPARE(serial.deviceName(), device);
        QCOMPARE(driverSettings(device), driver);
        qInfo("%s: \"%s\" read back as %s", qPrintable(device), qPrintable(settings),
              qPrintable(driverSettings(device).join(QLatin1Char(' '))));
    }
};

QTEST_MAIN(TestVmSettings)
#include "tst_vm_settings.moc"
