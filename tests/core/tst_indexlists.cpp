// The index's compact lists answer as plain lists of the same entries would, across
// the places where they start a new run or word.
#include "core/logindexdata.h"
#include "core/pairsteps.h"

#include <QTest>

#include <vector>

using namespace vantrel;

class TestIndexLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pairsAnswerAsAPlainList_data()
    {
        QTest::addColumn<quint64>("stepA");
        QTest::addColumn<quint64>("stepB");
        QTest::addColumn<int>("entries");
        QTest::newRow("markers a few bytes apart") << quint64(1) << quint64(11) << 1000;
        QTest::newRow("equal numbers over several runs") << quint64(0) << quint64(0) << 300;
        QTest::newRow("steps wider than 32 bits") << quint64(1) << (quint64(1) << 40) << 300;
    }
    void pairsAnswerAsAPlainList()
    {
        QFETCH(quint64, stepA);
        QFETCH(quint64, stepB);
        QFETCH(int, entries);
        PairSteps list;
        std::vector<PairSteps::Pair> plain;
        for (int i = 0; i < entries; ++i) {
            // Every third step is left out: runs of equal numbers among the others.
            const quint64 k = quint64(i - i / 3);
            plain.push_back({5 + stepA * k, 7 + stepB * k});
            list.push(plain.back().a, plain.back().b);
        }
        PairSteps::Reader reader(list);
        for (int i = 0; i < entries; ++i) {
            QCOMPARE(list.at(i).b, plain[size_t(i)].b);
            reader.advanceTo(i);
            QCOMPARE(reader.get().a, plain[size_t(i)].a);
            const auto last = [&](quint64 key, quint64 PairSteps::Pair::*n) {
                qsizetype j = -1;
                while (j + 1 < entries && plain[size_t(j + 1)].*n <= key)
                    ++j;
                return j;
            };
            QCOMPARE(list.lastAtMostA(plain[size_t(i)].a),
                     last(plain[size_t(i)].a, &PairSteps::Pair::a));
            QCOMPARE(list.lastAtMostB(plain[size_t(i)].b + 1),
                     last(plain[size_t(i)].b + 1, &PairSteps::Pair::b));
        }
        QCOMPARE(list.lastAtMostB(6), qsizetype(-1));
        PairSteps more;
        more.push(1, 1);
        more.takeAppend(list, 10, 20);
        QCOMPARE(more.size(), qsizetype(entries + 1));
        QCOMPARE(more.back().b, plain.back().b + 20);
    }

    void valuesAreThoseLastPushed_data()
    {
        QTest::addColumn<int>("runLength");
        QTest::newRow("each value differs") << 1;
        QTest::newRow("runs across a word's end") << 63;
        QTest::newRow("one value throughout") << 1000;
    }
    void valuesAreThoseLastPushed()
    {
        QFETCH(int, runLength);
        ChangedValues<quint32> values;
        std::vector<quint32> plain;
        for (int i = 0; i < 300; ++i) {
            plain.push_back(quint32(i / runLength % 5));
            values.push(plain.back());
        }
        qsizetype changes = 0;
        values.forEachChange([&](qsizetype i, quint32 v) {
            QVERIFY(i == 0 || plain[size_t(i - 1)] != v);
            ++changes;
        });
        for (qsizetype i = 0; i < values.size(); ++i) {
            QCOMPARE(values.at(i), plain[size_t(i)]);
            changes -= i > 0 && plain[size_t(i)] == plain[size_t(i - 1)] ? 0 : 1;
        }
        QCOMPARE(changes, qsizetype(0));
    }
};

QTEST_GUILESS_MAIN(TestIndexLists)
#include "tst_indexlists.moc"
