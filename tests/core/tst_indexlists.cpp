// The index's compact lists answer as plain lists of the same entries would, across
// the places where they start a new run or word.
#include "core/logindexdata.h"
#include "core/pairsteps.h"

#include <QTest>

using namespace vantrel;

class TestIndexLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsAnswerAsPlainOnes_data()
    {
        QTest::addColumn<quint64>("step");
        QTest::addColumn<int>("run");
        QTest::newRow("markers a few bytes apart, each value new") << quint64(11) << 1;
        QTest::newRow("equal numbers, values across a word's end") << quint64(0) << 63;
        QTest::newRow("steps wider than 32 bits, one value") << (quint64(1) << 40) << 1000;
    }
    void listsAnswerAsPlainOnes()
    {
        QFETCH(quint64, step);
        QFETCH(int, run);
        PairSteps list;
        ChangedValues<quint32> values;
        for (int i = 0; i < 300; ++i) { // every third step left out: equal numbers between
            list.push(quint64(i - i / 3), 7 + step * quint64(i - i / 3));
            values.push(quint32(i / run % 5));
        }
        PairSteps::Reader reader(list);
        for (int i = 0; i < 300; ++i) {
            const quint64 a = quint64(i - i / 3);
            reader.advanceTo(i);
            QCOMPARE(reader.get().b, 7 + step * a);
            QCOMPARE(list.at(i).a, a);
            QCOMPARE(list.lastAtMostB(7 + step * a), step ? list.lastAtMostA(a) : 299);
            QVERIFY(list.lastAtMostA(a) >= i && list.at(list.lastAtMostA(a)).a == a);
            QVERIFY(list.lastAtMostA(a) + 1 == 300 || list.at(list.lastAtMostA(a) + 1).a > a);
            QCOMPARE(values.at(i), quint32(i / run % 5));
        }
        QCOMPARE(list.lastAtMostB(6), qsizetype(-1));
        qsizetype changes = 0;
        values.forEachChange([&](qsizetype i, quint32 v) {
            QVERIFY(i == 0 || values.at(i - 1) != v);
            ++changes;
        });
        QCOMPARE(changes, qsizetype(run == 1 ? 300 : 300 / run + 1));
    }
};

QTEST_GUILESS_MAIN(TestIndexLists)
#include "tst_indexlists.moc"
