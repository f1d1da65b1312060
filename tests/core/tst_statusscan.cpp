// The values the controller reports after its markers, as one look at the parse
// buffer finds them.
#include "core/statusscan.h"

#include <QTest>

using namespace vantrel;

namespace
{
QString shown(const std::optional<QString>& v)
{
    return v ? QLatin1Char('[') + *v + QLatin1Char(']') : QStringLiteral("none");
}
} // namespace

class TestStatusScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scan_data()
    {
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<bool>("pmi");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("bbt");
        QTest::addColumn<QString>("fault");
        QTest::newRow("without > PMII nothing is read")
            << "VEL =    12 BBT =   00001" << false << "none"
            << "none"
            << "none";
        QTest::newRow("speed, BBT and fault after their markers")
            << "> PMII\r\nVEL =    12\r\nBBT =   00042\r\nFLT0 =  DOOR" << true << "[ 12]"
            << "[00042]"
            << "[DOOR]";
        QTest::newRow("the first speed wins") << "> PMII VEL =   123 VEL =   456" << true << "[123]"
                                              << "none"
                                              << "none";
        QTest::newRow("a speed cut short by the buffer's end")
            << "> PMII VEL =   1" << true << "[1]"
            << "none"
            << "none";
        QTest::newRow("the speed label as the last characters") << "> PMII VEL =   " << true << "[]"
                                                                << "none"
                                                                << "none";
        QTest::newRow("bbt in lower case is no marker") << "> PMII bbt =   00001" << true << "none"
                                                        << "none"
                                                        << "none";
        QTest::newRow("BBT value starts 8 after the marker's first character")
            << "> PMII BBT1234567890" << true << "none"
            << "[67890]"
            << "none";
        QTest::newRow("the fault text keeps its line end")
            << "> PMII FLT0 =  DOOR FAULT\r\nVEL" << true << "none"
            << "none"
            << "[DOOR FAULT\r\nVEL]";
        QTest::newRow("fault text is 76 characters at most")
            << "> PMII FLT0 =  " + QString(100, u'x') << true << "none"
            << "none"
            << "[" + QString(76, u'x') + "]";
    }
    void scan()
    {
        QFETCH(QString, buffer);
        QFETCH(bool, pmi);
        QFETCH(QString, speed);
        QFETCH(QString, bbt);
        QFETCH(QString, fault);
        const StatusScan s = scanStatus(buffer);
        QCOMPARE(s.pmi, pmi);
        QCOMPARE(shown(s.speed), speed);
        QCOMPARE(shown(s.bbt), bbt);
        QCOMPARE(shown(s.fault), fault);
    }
};

QTEST_MAIN(TestStatusScan)
#include "tst_statusscan.moc"
