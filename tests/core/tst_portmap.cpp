// Port numbers: built-in ports 1 to 4, adapters from 5 in the order of their stable
// names, each number kept by its port for the whole run.
#include "core/portmap.h"

#include <QTest>

#include <algorithm>

using namespace vantrel;

namespace
{
PortInfo adapter(const QString& tty, const QString& id)
{
    PortInfo p;
    p.device = QStringLiteral("/dev/") + tty;
    p.description = QStringLiteral("USB serial");
    p.stableName = id.isEmpty() ? QString() : QStringLiteral("/dev/serial/by-id/") + id;
    return p;
}
PortInfo builtIn(int n)
{
    PortInfo p;
    p.device = QStringLiteral("/dev/ttyS%1").arg(n);
    return p;
}
// "number=device" for each row, present ones only unless all is asked.
QStringList numbers(const PortMap& map, bool all = false)
{
    QStringList out;
    for (const NumberedPort& r : map.rows())
        if (all || r.present)
            out << QStringLiteral("%1=%2").arg(r.number).arg(map.deviceFor(r.number));
    return out;
}

const PortInfo ftdi = adapter(QStringLiteral("ttyUSB0"), QStringLiteral("usb-FTDI_FT232R_A1-if00"));
const PortInfo ch340 = adapter(QStringLiteral("ttyUSB1"), QStringLiteral("usb-1a86_CH340-if00"));
const PortInfo acm = adapter(QStringLiteral("ttyACM0"), QString());
} // namespace

class TestPortMap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstLookNumbersBuiltInsThenAdaptersByStableName()
    {
        PortMap map;
        map.update({ftdi, builtIn(1), acm, builtIn(0), ch340});
        QCOMPARE(numbers(map), (QStringList{"1=/dev/ttyS0", "2=/dev/ttyS1",
                                            "5=/dev/serial/by-id/usb-1a86_CH340-if00",
                                            "6=/dev/serial/by-id/usb-FTDI_FT232R_A1-if00",
                                            "7=/dev/ttyACM0"})); // no stable name: its path
    }

    void theSameSetGetsTheSameNumbersInAnyOrderAndNextRun()
    {
        PortMap first;
        first.update({ftdi, ch340, acm, builtIn(0)});
        PortMap nextRun;
        nextRun.update({acm, builtIn(0), ch340, ftdi});
        QCOMPARE(numbers(nextRun), numbers(first));
        first.update({acm, ftdi, builtIn(0), ch340}); // a refresh
        QCOMPARE(numbers(first), numbers(nextRun));
    }

    void aNumberStaysWithItsAdapterWhileUnpluggedAndBack()
    {
        PortMap map;
        map.update({ftdi, ch340});
        map.update({ftdi}); // the CH340 is pulled
        QCOMPARE(numbers(map), QStringList{"6=/dev/serial/by-id/usb-FTDI_FT232R_A1-if00"});
        QCOMPARE(numbers(map, true).size(), 2);
        PortInfo back = ch340;
        back.device = QStringLiteral("/dev/ttyUSB3"); // the kernel gave it another name
        const PortInfo newcomer =
            adapter(QStringLiteral("ttyUSB2"), QStringLiteral("usb-0000-if00"));
        map.update({ftdi, newcomer, back});
        QCOMPARE(numbers(map), (QStringList{"5=/dev/serial/by-id/usb-1a86_CH340-if00",
                                            "6=/dev/serial/by-id/usb-FTDI_FT232R_A1-if00",
                                            "7=/dev/serial/by-id/usb-0000-if00"}));
    }

    // The number named in the environment opens that device; the port that would have
    // had it moves on to the next free number rather than vanish from the list.
    void environmentNamesTheDeviceOfItsNumber_data()
    {
        QTest::addColumn<int>("overridden");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("a built-in port moves past the adapters")
            << 1
            << QStringList{"1=/dev/pts/7", "5=/dev/serial/by-id/usb-FTDI_FT232R_A1-if00",
                           "6=/dev/ttyS0"};
        QTest::newRow("an adapter moves to the next free number")
            << 5
            << QStringList{"1=/dev/ttyS0", "5=/dev/pts/7",
                           "6=/dev/serial/by-id/usb-FTDI_FT232R_A1-if00"};
    }
    void environmentNamesTheDeviceOfItsNumber()
    {
        QFETCH(int, overridden);
        QFETCH(QStringList, rows);
        PortMap map({{overridden, QStringLiteral("/dev/pts/7")}});
        map.update({builtIn(0), ftdi});
        QCOMPARE(numbers(map, true), rows);
        const QList<NumberedPort> all = map.rows();
        const auto set = std::find_if(
            all.begin(), all.end(), [&](const NumberedPort& r) { return r.number == overridden; });
        QCOMPARE(set->note, QStringLiteral("set by VANTREL_COM%1").arg(overridden));
    }

    void shortNamesFitTheStatusLine_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<QString>("shortName");
        QTest::newRow("a stable name is known by the kernel's name it leads to")
            << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0"
            << "/dev/ttyUSB0"
            << "ttyUSB0";
        QTest::newRow("a long name that leads nowhere is cut")
            << "/dev/serial/by-id/usb-Silicon_Labs_CP2102N_USB_to_UART_Bridge-if00-port0"
            << "" << QStringLiteral("usb-Silicon_Labs_CP2102\u2026");
        QTest::newRow("a short path is its last part") << "/tmp/sim/ttyV0"
                                                       << ""
                                                       << "ttyV0";
    }
    void shortNamesFitTheStatusLine()
    {
        QFETCH(QString, path);
        QFETCH(QString, resolved);
        QFETCH(QString, shortName);
        QCOMPARE(PortMap::shortName(path, resolved), shortName);
    }

    void environmentNamesANumbersDeviceBeforeAnyLook()
    {
        qputenv("VANTREL_COM7", "/dev/pts/99");
        QCOMPARE(PortMap(PortMap::environmentOverrides()).deviceFor(7),
                 QStringLiteral("/dev/pts/99"));
        qunsetenv("VANTREL_COM7");
        QCOMPARE(PortMap(PortMap::environmentOverrides()).deviceFor(7),
                 QStringLiteral("/dev/ttyS6"));
    }

    void numbersNobodyHasKeepTheOldMeaning()
    {
        PortMap map;
        QCOMPARE(map.deviceFor(1), QStringLiteral("/dev/ttyS0"));
        map.update({ftdi});
        QCOMPARE(map.deviceFor(9), QStringLiteral("/dev/ttyS8"));
    }
};

QTEST_MAIN(TestPortMap)
#include "tst_portmap.moc"
