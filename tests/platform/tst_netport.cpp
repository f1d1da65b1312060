// The network port against a server the test plays on 127.0.0.1: break both ways,
// nothing written while watching only, and a port closed by hand stays closed.
#include "core/commevents.h"
#include "core/telnetcodec.h"
#include "fakes.h"
#include "platform/netserialcomm.h"
#include "platform/portrouter.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// One connection at a time; what the client sent, and how often it connected.
struct FakeServer {
    QTcpServer listener;
    QTcpSocket* client = nullptr;
    QByteArray heard;
    int connections = 0;
    FakeServer()
    {
        listener.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&listener, &QTcpServer::newConnection, [this] {
            client = listener.nextPendingConnection();
            ++connections;
            QObject::connect(client, &QTcpSocket::readyRead,
                             [this, c = client] { heard += c->readAll(); });
        });
    }
    QString address() const
    {
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(listener.serverPort());
    }
};
} // namespace

class TestNetPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }

    // An address typed once keeps its number beside the adapters, in this run and the next.
    void anAddressIsNumberedAndRemembered()
    {
        const QString address = QStringLiteral("rfc2217://127.0.0.1:4001?tls");
        int number = 0;
        for (int run = 0; run < 2; ++run) {
            auto* machine = new FakePorts;
            machine->plugged = {PortInfo{QStringLiteral("/dev/ttyUSB0"), {}, {}, {}, {}}};
            PortRouter router(nullptr, std::make_unique<QtSerialComm>(
                                           nullptr, std::unique_ptr<PortEnumerator>(machine)));
            const Result<int> given = router.addAddress(address);
            QVERIFY(given.ok());
            QVERIFY(*given > PortMap::kBuiltIn);
            QVERIFY(number == 0 || *given == number);
            number = *given;
            QCOMPARE(router.addAddress(address).value(), number);
            const QList<NumberedPort> rows = router.ports();
            const auto row = std::find_if(rows.begin(), rows.end(), [&](const NumberedPort& r) {
                return r.number == number;
            });
            QVERIFY(row != rows.end());
            QCOMPARE(row->note, QStringLiteral("network port on 127.0.0.1:4001"));
            QCOMPARE(rows.size(), 2); // the adapter kept a number of its own
            QVERIFY(router.setCommPort(number).ok());
            QCOMPARE(router.deviceName(), address);
        }
    }

    void breakBothWays()
    {
        FakeServer server;
        NetSerialComm port;
        port.setAddress(server.address());
        QVERIFY(port.setPortOpen(true).ok());
        QTRY_VERIFY(server.client);
        QVERIFY(port.setBreak(true).ok());
        QVERIFY(port.setBreak(false).ok());
        const QByteArray both = TelnetCodec::breakCommand(true) + TelnetCodec::breakCommand(false);
        QTRY_VERIFY(server.heard.endsWith(both));
        QList<int> events;
        QObject::connect(&port, &SerialComm::OnComm, [&] { events << port.commEvent(); });
        server.client->write(QByteArray::fromHex("fffa2c6a10fff0"));
        QTRY_COMPARE(events, QList<int>{comm::ErBreak});
    }

    void watchingWritesNothingButTheNegotiation_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("a key") << 0;
        QTest::newRow("a break") << 1;
        QTest::newRow("settings") << 2;
    }
    void watchingWritesNothingButTheNegotiation()
    {
        QFETCH(int, action);
        FakeServer server;
        NetSerialComm port;
        port.setAddress(server.address());
        QVERIFY(port.setWatchOnly(true).ok());
        QVERIFY(port.setPortOpen(true).ok());
        QTRY_COMPARE(server.heard, TelnetCodec::greeting());
        switch (action) {
        case 0:
            QVERIFY(!port.output(QStringLiteral("pmi 1\r")));
            break;
        case 1:
            QVERIFY(!port.setBreak(true));
            break;
        default:
            QVERIFY(port.setSettings(QStringLiteral("115200,n,8,1")).ok()); // kept for later
            break;
        }
        // The server answers; a write would go out with the reply or before it.
        server.client->write(QByteArray::fromHex("fffd00"));
        QVERIFY(server.client->waitForBytesWritten(1000));
        QTRY_COMPARE(port.held(), qint64(0));
        port.setPortOpen(false).skip();
        QTRY_VERIFY(server.client->state() != QAbstractSocket::ConnectedState);
        QCOMPARE(server.heard.toHex(), TelnetCodec::greeting().toHex());
    }

    // A server that hangs up while the settings are asked (on a thread of its own, as
    // the open waits): the open fails, and says so.
    void aServerHangingUpDuringTheOpenFailsIt()
    {
        QTcpServer listener;
        listener.listen(QHostAddress::LocalHost, 0);
        std::thread hangUp([fd = int(listener.socketDescriptor())] {
            pollfd waiting{fd, POLLIN, 0};
            ::poll(&waiting, 1, 5000);
            const int client = ::accept(fd, nullptr, nullptr);
            char buf[64];
            ::read(client, buf, sizeof buf); // the greeting and the settings
            ::close(client);
        });
        NetSerialComm port;
        port.setAddress(QStringLiteral("rfc2217://127.0.0.1:%1").arg(listener.serverPort()));
        QSignalSpy lost(&port, &SerialComm::deviceLost);
        const Result<> opened = port.setPortOpen(true);
        hangUp.join();
        QVERIFY(!opened);
        QVERIFY(opened.why().contains(QStringLiteral("127.0.0.1")));
        QVERIFY(!port.portOpen());
        QCOMPARE(lost.size(), 0);
    }

    void aPortClosedByHandStaysClosed()
    {
        FakeServer server;
        NetSerialComm port;
        port.setAddress(server.address());
        QVERIFY(port.setWatchOnly(true).ok());
        QVERIFY(port.setPortOpen(true).ok());
        QTRY_VERIFY(server.client);
        QSignalSpy lost(&port, &SerialComm::deviceLost);
        QByteArray got;
        QObject::connect(&port, &SerialComm::received, [&](const QByteArray& b) { got += b; });
        // What came just before the loss is still handed over.
        server.client->write("last words");
        server.client->disconnectFromHost();
        QVERIFY(lost.wait(5000));
        QTRY_COMPARE(got, QByteArray("last words"));
        QVERIFY(port.setPortOpen(false).ok());
        letPeriodsPass(NetSerialComm::kReconnectMs, 4);
        QCOMPARE(server.connections, 1);
        QVERIFY(!port.portOpen());
    }
};

QTEST_MAIN(TestNetPort)
#include "tst_netport.moc"
