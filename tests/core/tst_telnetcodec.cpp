// The telnet and COM port control reading and writing, without a socket.
#include "core/commevents.h"
#include "core/telnetcodec.h"

#include <QTest>

using namespace vantrel;

namespace
{
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class TestTelnetCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What the server sends, read whole and byte by byte alike.
    void reading_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<int>>("events");
        QTest::addColumn<QByteArray>("replies");
        QTest::newRow("plain bytes pass")
            << hex("00410d0afe") << hex("00410d0afe") << QList<int>{} << QByteArray();
        QTest::newRow("doubled FF is one data byte")
            << hex("41ffff42ffffff") << hex("41ff42ff") << QList<int>{} << QByteArray();
        QTest::newRow("agreed options need no reply")
            << hex("fffb00fffd00fffb03fffd03fffd2c41") << hex("41") << QList<int>{} << QByteArray();
        QTest::newRow("unknown options refused once each")
            << hex("fffd18fffb01") << QByteArray() << QList<int>{} << hex("fffc18fffe01");
        QTest::newRow("binary withdrawn is acknowledged once")
            << hex("fffe00fffe00fffc00fffc00") << QByteArray() << QList<int>{}
            << hex("fffc00fffe00");
        QTest::newRow("line state errors")
            << hex("fffa2c6a1efff0") << QByteArray()
            << QList<int>{comm::ErBreak, comm::ErFrame, comm::ErRxParity, comm::ErOverrun}
            << QByteArray();
        QTest::newRow("line state without errors says nothing")
            << hex("fffa2c6a61fff0") << QByteArray() << QList<int>{} << QByteArray();
        QTest::newRow("first modem state is where the lines stand, later ones change")
            << hex("fffa2c6bb0fff0fffa2c6b20fff0fffa2c6b60fff0") << QByteArray()
            << QList<int>{comm::EvCTS, comm::EvCD, comm::EvRing} << QByteArray();
        QTest::newRow("modem change bits count without a level change")
            << hex("fffa2c6b0ffff0") << QByteArray()
            << QList<int>{comm::EvCTS, comm::EvDSR, comm::EvCD, comm::EvRing} << QByteArray();
        QTest::newRow("data around a notification with FF inside")
            << hex("41fffa2c6bffff0ffff042") << hex("4142")
            << QList<int>{comm::EvCTS, comm::EvDSR, comm::EvCD, comm::EvRing} << QByteArray();
        QTest::newRow("NOP and go-ahead are not data")
            << hex("41fff1fff942") << hex("4142") << QList<int>{} << QByteArray();
        QTest::newRow("unfinished subnegotiation is dropped, the command still read")
            << hex("fffa2c6a10fffd1841") << hex("41") << QList<int>{} << hex("fffc18");
        QTest::newRow("overlong subnegotiation is dropped")
            << (hex("fffa2c6a10") + QByteArray(300, 'x') + hex("fff041")) << hex("41")
            << QList<int>{} << QByteArray();
    }
    void reading()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, data);
        QFETCH(QList<int>, events);
        QFETCH(QByteArray, replies);
        TelnetCodec whole, bytewise;
        whole.feed(in);
        for (char c : in)
            bytewise.feed(QByteArrayView(&c, 1));
        for (TelnetCodec* c : {&whole, &bytewise}) {
            QCOMPARE(c->takeData(), data);
            QCOMPARE(c->takeEvents(), events);
            QCOMPARE(c->takeReplies(), replies);
        }
    }

    void writing_data()
    {
        QTest::addColumn<QByteArray>("got");
        QTest::addColumn<QByteArray>("want");
        QTest::newRow("FF doubled")
            << TelnetCodec::escape(hex("ff00ffff")) << hex("ffff00ffffffff");
        QTest::newRow("break on") << TelnetCodec::breakCommand(true) << hex("fffa2c0505fff0");
        QTest::newRow("break off") << TelnetCodec::breakCommand(false) << hex("fffa2c0506fff0");
        LineSettings s{115200, 'e', 7, 20};
        QTest::newRow("settings")
            << TelnetCodec().setSettings(s)
            << hex("fffa2c010001c200fff0fffa2c0207fff0fffa2c0303fff0fffa2c0402fff0"
                   "fffa2c0501fff0");
        // 0x00ff00ff baud holds FF bytes, which are doubled inside the command too.
        QTest::newRow("FF inside a setting")
            << TelnetCodec().setSettings(LineSettings{0xff00ff, 'o', 8, 15}).left(12)
            << hex("fffa2c0100ffff00fffffff0");
    }
    void writing()
    {
        QFETCH(QByteArray, got);
        QFETCH(QByteArray, want);
        QCOMPARE(got.toHex(), want.toHex());
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("refusals");
        QTest::newRow("taken as asked")
            << hex("fffa2c650001c200fff0fffa2c6607fff0fffa2c6703fff0fffa2c6802fff0")
            << QStringList{};
        QTest::newRow("other speed")
            << hex("fffa2c6500002580fff0")
            << QStringList{QStringLiteral("the server keeps 9600 baud (asked 115200)")};
        QTest::newRow("other parity and stop bits")
            << hex("fffa2c6701fff0fffa2c6803fff0")
            << QStringList{QStringLiteral("the server keeps parity none (asked even)"),
                           QStringLiteral("the server keeps 1.5 stop bits (asked 2)")};
    }
    void refusals()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, refusals);
        TelnetCodec c;
        c.setSettings(LineSettings{115200, 'e', 7, 20}).size();
        c.feed(answer);
        QCOMPARE(c.takeRefusals(), refusals);
    }
};

QTEST_MAIN(TestTelnetCodec)
#include "tst_telnetcodec.moc"
