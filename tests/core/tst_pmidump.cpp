// The PMI dump reader: the 75 cells by their fixed positions after the first header,
// from fixture folders of received text and their expected cells.
#include "core/pmidump.h"
#include "testfiles.h"

#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestPmiDump : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fixtures_data()
    {
        QTest::addColumn<QString>("dir");
        for (const QString& c : fixtureCases(QStringLiteral("pmi")))
            QTest::newRow(qPrintable(c.section(u'/', -1))) << c;
    }
    void fixtures()
    {
        QFETCH(QString, dir);
        const QString received =
            QString::fromLatin1(readFile(dir + QStringLiteral("/received.txt")));
        const auto expected = readCells(dir + QStringLiteral("/cells.txt"));
        if (expected)
            QCOMPARE(expected->size(), kGridCells);
        const auto values = readPmiDump(received);
        QCOMPARE(values.has_value(), expected.has_value());
        if (values)
            QCOMPARE(QStringList(values->begin(), values->end()), *expected);
    }

    void textLongerThan16BitsReadsLikeAShortOne()
    {
        const QString dump = pmiDump([](int n, int k) { return QChar(u'a' + (n + k) % 26); });
        const auto values = readPmiDump(QString(40000, u'z') + dump);
        QVERIFY(values);
        QCOMPARE(*values, *readPmiDump(dump));
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("value");
        QTest::newRow("digit and blank") << "1 " << 1.0;
        QTest::newRow("blank and digit") << " 0" << 0.0;
        QTest::newRow("letter counts as 0") << "X1" << 0.0;
        QTest::newRow("empty counts as 0") << "" << 0.0;
        QTest::newRow("two digits") << "12" << 12.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, caption);
        QFETCH(double, value);
        QCOMPARE(vantrel::leadingNumber(caption), value);
    }
};

QTEST_MAIN(TestPmiDump)
#include "tst_pmidump.moc"
