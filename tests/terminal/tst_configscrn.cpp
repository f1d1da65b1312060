// The port settings window: shows the port's values, applies them when closed.
#include "fakes.h"
#include "platform/qtserialcomm.h"
#include "screens.h"
#include "shell/form1.h"
#include "terminal/configscrn.h"
#include "terminal/serialterminal.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTreeWidget>

using namespace vantrel;
using namespace vantrel::test;

class TestConfigScrn : public QObject, public CarScreenFixture
{
    Q_OBJECT

    ConfigScrn* openSettings()
    {
        form->MSettings->trigger();
        return form->configScrn();
    }

private Q_SLOTS:
    void init() { openScreen(); }
    void cleanup() { closeScreen(); }

    void showsTheServicesValues()
    {
        w->serial.port = 3;
        ConfigScrn* c = openSettings();
        QVERIFY(c);
        QVERIFY(c->isVisible());
        QCOMPARE(c->Text1->text(), QStringLiteral("9600,n,8,1"));
        QCOMPARE(c->Text2->text(), QStringLiteral("3"));
        QCOMPARE(c->windowTitle(), QStringLiteral("Configure Comm Port"));
        c->Text1->setText(QStringLiteral("edited"));
        QCOMPARE(openSettings(), c);
        QCOMPARE(c->Text1->text(), QStringLiteral("edited"));
    }

    void closingWithThePortOpenReopensOnceSettingsFirst()
    {
        ConfigScrn* c = openSettings();
        c->Text1->setText(QStringLiteral("19200,e,7,1"));
        c->Text2->setText(QStringLiteral("2"));
        c->close();
        QCOMPARE(w->serial.history,
                 (QStringList{"close", "settings=19200,e,7,1", "port=2", "open"}));
        QVERIFY(form->MOpen->isChecked());
        QVERIFY(w->boxes.shown.isEmpty());
    }

    void unchangedValuesAreSetAgain()
    {
        openSettings()->close();
        QCOMPARE(w->serial.history,
                 (QStringList{"close", "settings=9600,n,8,1", "port=1", "open"}));
    }

    void withThePortClosedItStaysClosedUntilOpened()
    {
        form->MOpen->trigger();
        w->serial.history.clear();
        ConfigScrn* c = openSettings();
        c->Text2->setText(QStringLiteral("4"));
        c->close();
        QVERIFY(!w->serial.open);
        QCOMPARE(w->serial.history, (QStringList{"settings=9600,n,8,1", "port=4"}));
        form->MOpen->trigger();
        QVERIFY(w->serial.open);
        QCOMPARE(w->serial.port, 4);
    }

    void refusedValues_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("settings the port refuses") << "garbage"
                                                   << "1"
                                                   << "garbage";
        QTest::newRow("port number that is not a number") << "9600,n,8,1"
                                                          << "one"
                                                          << "one";
    }
    void refusedValues()
    {
        QFETCH(QString, settings);
        QFETCH(QString, port);
        QFETCH(QString, mentions);
        ConfigScrn* c = openSettings();
        c->Text1->setText(settings);
        c->Text2->setText(port);
        c->close();
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown[0].buttons, mb::OkExclamation);
        QVERIFY2(w->boxes.shown[0].text.contains(mentions), qPrintable(w->boxes.shown[0].text));
        QCOMPARE(form->MOpen->isChecked(), w->serial.open);
    }

    void failedReopenLeavesTheCheckMarkTrue()
    {
        w->serial.reopenFailure = QStringLiteral("Cannot open /dev/fake2: busy");
        openSettings()->close();
        QVERIFY(!w->serial.open);
        QVERIFY(!form->MOpen->isChecked());
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown[0].text, w->serial.reopenFailure);
    }

    void nextShowLoadsTheCurrentValues()
    {
        ConfigScrn* c = openSettings();
        c->Text1->setText(QStringLiteral("4800,n,8,1"));
        c->close();
        QTRY_VERIFY(!form->configScrn()); // unloaded when closed
        QCOMPARE(openSettings()->Text1->text(), QStringLiteral("4800,n,8,1"));
    }

    // The machine's ports with their numbers: a plugged adapter appears while the
    // window is open, a pulled one keeps its number, a row chosen with the mouse fills
    // "Comm Port", and nothing reaches the port before the window closes.
    void portListNumbersTheMachinesPortsAndFillsTheChosenNumber()
    {
        qunsetenv("VANTREL_COM1");
        auto* machine = new FakePorts;
        const PortInfo builtIn{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}};
        const PortInfo ftdi{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"),
                            QStringLiteral("FTDI"), QStringLiteral("A10K"),
                            QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_A10K-if00-port0")};
        const PortInfo ch340{QStringLiteral("/dev/ttyUSB1"),
                             QStringLiteral("USB Serial"),
                             QStringLiteral("1a86"),
                             {},
                             QStringLiteral("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0")};
        machine->plugged = {builtIn, ftdi};
        QtSerialComm serial(nullptr, std::unique_ptr<PortEnumerator>(machine));
        Services s = w->services();
        s.serial = &serial;
        QPointer<ConfigScrn> c = new ConfigScrn(s, {}); // deleted when closed
        c->show();
        const auto rows = [c] {
            QStringList out;
            for (int i = 0; i < c->List1->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* it = c->List1->topLevelItem(i);
                out << it->text(0) + QLatin1Char(' ') + it->text(2) + QLatin1Char(' ') +
                           it->text(5);
            }
            return out;
        };
        QCOMPARE(rows(), (QStringList{"1  ", "5 FT232R USB UART " + ftdi.stableName}));
        machine->plugged = {builtIn, ch340, ftdi};
        QTRY_COMPARE_WITH_TIMEOUT(c->List1->topLevelItemCount(), 3, 2000);
        QCOMPARE(rows().last(), "6 USB Serial " + ch340.stableName);
        machine->plugged = {builtIn, ch340};
        c->refreshPorts();
        QCOMPARE(rows()[1], "5 (unplugged) FT232R USB UART " + ftdi.stableName);

        const QTreeWidgetItem* six = c->List1->topLevelItem(2);
        QTest::mouseClick(c->List1->viewport(), Qt::LeftButton, {},
                          c->List1->visualItemRect(six).center());
        QCOMPARE(c->Text2->text(), QStringLiteral("6"));
        c->refreshPorts();
        QCOMPARE(c->Text2->text(), QStringLiteral("6"));
        QCOMPARE(serial.commPort(), 1);
        c->close();
        QTRY_VERIFY(!c);
        QCOMPARE(serial.commPort(), 6);
        QCOMPARE(serial.deviceName(), ch340.stableName);
    }

    // Tab from the typed number into the list chooses nothing; the keys and Enter do.
    void onlyADeliberateChoiceFillsThePortNumber_data()
    {
        QTest::addColumn<QList<int>>("keysInList");
        QTest::addColumn<int>("applied");
        QTest::newRow("focus arriving in the list keeps the typed number") << QList<int>{} << 7;
        QTest::newRow("an arrow key chooses the row it moves to") << QList<int>{Qt::Key_Down} << 5;
        QTest::newRow("Enter chooses the current row") << QList<int>{Qt::Key_Return} << 1;
    }
    void onlyADeliberateChoiceFillsThePortNumber()
    {
        QFETCH(QList<int>, keysInList);
        QFETCH(int, applied);
        w->serial.portList = {
            NumberedPort{1, PortInfo{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}}, true, {}},
            NumberedPort{5, PortInfo{QStringLiteral("/dev/ttyUSB0"), {}, {}, {}, {}}, true, {}}};
        ConfigScrn* c = openSettings();
        c->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(c));
        c->Text2->setFocus();
        QTRY_VERIFY(c->Text2->hasFocus());
        c->Text2->clear();
        QTest::keyClicks(c->Text2, QStringLiteral("7"));
        QTest::keyClick(c->Text2, Qt::Key_Tab);
        QTRY_VERIFY(c->List1->hasFocus());
        QVERIFY(c->List1->currentItem()); // the list made its first row current
        for (int key : keysInList)
            QTest::keyClick(c->List1, Qt::Key(key));
        c->close();
        QCOMPARE(w->serial.port, applied);
    }

    void closingTheScreenAppliesNothing()
    {
        ConfigScrn* c = openSettings();
        c->Text1->setText(QStringLiteral("1200,n,8,1"));
        int cancel = 0;
        form->terminal().Form_Unload(cancel);
        QCOMPARE(w->exit.calls, 1);
        QVERIFY(!w->serial.history.contains(QStringLiteral("settings=1200,n,8,1")));
    }
};

QTEST_MAIN(TestConfigScrn)
#include "tst_configscrn.moc"
