// What each of the port's notifications asks of the car screen.
#include "core/commevents.h"

#include <QTest>

using namespace vantrel;

Q_DECLARE_METATYPE(CommAction::Kind)

class TestCommEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void actions_data()
    {
        using Kind = CommAction::Kind;
        QTest::addColumn<int>("code");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("send changes nothing") << 1 << Kind::Nothing << "";
        QTest::newRow("received data is read") << 2 << Kind::Receive << "";
        QTest::newRow("CTS") << 3 << Kind::Status << "Change in CTS Detected";
        QTest::newRow("DSR") << 4 << Kind::Status << "Change in DSR Detected";
        QTest::newRow("CD") << 5 << Kind::Status << "Change in CD Detected";
        QTest::newRow("ring changes nothing") << 6 << Kind::Nothing << "";
        QTest::newRow("end of file") << 7 << Kind::Status << "End of File Detected";
        QTest::newRow("break") << 1001 << Kind::Status << "Break Received";
        QTest::newRow("CTS timeout") << 1002 << Kind::Alert << "CTS Timeout";
        QTest::newRow("DSR timeout") << 1003 << Kind::Alert << "DSR Timeout";
        QTest::newRow("framing error goes to the status line")
            << 1004 << Kind::Status << "Framing Error";
        QTest::newRow("1005 is unknown") << 1005 << Kind::Alert << "Unknown error or event";
        QTest::newRow("overrun restarts the port") << 1006 << Kind::Restart << "";
        QTest::newRow("carrier timeout") << 1007 << Kind::Alert << "Carrier Detect Timeout";
        QTest::newRow("receive overflow") << 1008 << Kind::Alert << "Receive Buffer Overflow";
        QTest::newRow("parity error goes to the status line")
            << 1009 << Kind::Status << "Parity Error";
        QTest::newRow("transmit full") << 1010 << Kind::Alert << "Transmit Buffer Full";
        QTest::newRow("1011 is unknown") << 1011 << Kind::Alert << "Unknown error or event";
        QTest::newRow("unlisted code is unknown") << 42 << Kind::Alert << "Unknown error or event";
        QTest::newRow("no event at all is unknown") << 0 << Kind::Alert << "Unknown error or event";
    }
    void actions()
    {
        QFETCH(int, code);
        QFETCH(CommAction::Kind, kind);
        QFETCH(QString, text);
        const CommAction action = commAction(code);
        QCOMPARE(action.kind, kind);
        QCOMPARE(action.text, text);
    }
};

QTEST_MAIN(TestCommEvents)
#include "tst_commevents.moc"
