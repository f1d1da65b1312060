// Line settings strings and port numbers as the settings window hands them over.
#include "core/linesettings.h"

#include <QTest>

using namespace vantrel;

class TestLineSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("default") << "9600,n,8,1" << true << "";
        QTest::newRow("upper-case parity, 1.5 stop bits") << "19200,E,7,1.5" << true << "";
        QTest::newRow("fast adapter") << "921600,n,8,2" << true << "";
        QTest::newRow("baud that is not a rate") << "9601,n,8,1" << false << "baud";
        QTest::newRow("baud that is not a number") << "fast,n,8,1" << false << "baud";
        QTest::newRow("unknown parity letter") << "9600,x,8,1" << false << "parity";
        QTest::newRow("nine data bits") << "9600,n,9,1" << false << "data bits";
        QTest::newRow("three stop bits") << "9600,n,8,3" << false << "stop bits";
        QTest::newRow("missing field") << "9600,n,8" << false << "baud,parity,data,stop";
        QTest::newRow("empty") << "" << false << "baud,parity,data,stop";
        QTest::newRow("data bits hiding junk behind a NUL")
            << QStringLiteral("9600,n,8%1junk,1").arg(QChar(0)) << false << "data bits";
        QTest::newRow("baud hiding junk behind a NUL")
            << QStringLiteral("9600%1x,n,8,1").arg(QChar(0)) << false << "baud";
    }
    void settings()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, mentions);
        const Result<LineSettings> parsed = parseLineSettings(text);
        QCOMPARE(parsed.ok(), ok);
        if (ok) {
            const Result<LineSettings> again = parseLineSettings(parsed->toString());
            QVERIFY(again);
            QCOMPARE(*again, *parsed);
        } else {
            QVERIFY2(parsed.why().contains(mentions), qPrintable(parsed.why()));
            QVERIFY(parsed.why().contains(text));
        }
    }

    void portNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("blanks around") << " 4 " << 4;
        QTest::newRow("not a number") << "COM2" << -1;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("the largest, 255") << "255" << 255;
        QTest::newRow("one past the largest, 256") << "256" << -1;
        QTest::newRow("too big") << "70000" << -1;
    }
    void portNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        const Result<int> parsed = parsePortNumber(text);
        QCOMPARE(parsed.ok(), number > 0);
        if (parsed)
            QCOMPARE(*parsed, number);
        else
            QVERIFY(!parsed.why().isEmpty());
    }
};

QTEST_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
