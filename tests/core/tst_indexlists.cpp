// The index's compact lists answer as plain lists of the same entries would, across
// the places where they start a new run or word.
#include "core/logindexdata.h"
#include "core/pairsteps.h"

#include <QTest>

#include <algorithm>
#include <vector>

using namespace vantrel;

class TestIndexLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsAnswerAsPlainOnes_data()
    {
        QTest::addColumn<quint64>("step");
        QTest::addColumn<int>("run");
        QTest::newRow("markers a few bytes apart, each one in") << quint64(11) << 1;
        QTest::newRow("equal numbers, runs across a word's end") << quint64(0) << 63;
        QTest::newRow("steps wider than 32 bits, none in") << (quint64(1) << 40) << 1000;
    }
    void listsAnswerAsPlainOnes()
    {
        QFETCH(quint64, step);
        QFETCH(int, run);
        PairSteps list;
        Subset in;
        Subset tail;
        std::vector<qsizetype> plain; // the subset's entries
        const auto member = [&](int i) { return run == 1 || (run < 300 && i / run % 2 == 1); };
        // The first number's steps 0, 1, 2 and on: each way of keeping them.
        const auto first = [](int i) { return quint64(i - i / 3) * quint64(i - i / 3 + 1) / 2; };
        for (int i = 0; i < 300; ++i) { // every third step left out: equal numbers between
            list.push(first(i), 7 + step * quint64(i - i / 3));
            (i < 100 ? in : tail).push(member(i) != (i == 100)); // set right on joining
            if (member(i))
                plain.push_back(i);
        }
        tail.set(0, member(100));
        in.takeAppend(tail);
        PairSteps::Reader reader(list);
        for (int i = 0; i < 300; ++i) {
            const quint64 a = quint64(i - i / 3);
            reader.advanceTo(i);
            QCOMPARE(reader.get().b, 7 + step * a);
            const quint64 f = first(i);
            QCOMPARE(list.at(i).a, f);
            QCOMPARE(list.lastAtMostB(7 + step * a), step ? list.lastAtMostA(f) : 299);
            QVERIFY(list.lastAtMostA(f) >= i && list.at(list.lastAtMostA(f)).a == f);
            QVERIFY(list.lastAtMostA(f) + 1 == 300 || list.at(list.lastAtMostA(f) + 1).a > f);
            QCOMPARE(in.contains(i), member(i));
            const auto before = std::lower_bound(plain.begin(), plain.end(), qsizetype(i));
            QCOMPARE(in.rank(i), qsizetype(before - plain.begin()));
        }
        QCOMPARE(list.lastAtMostB(6), qsizetype(-1));
        QCOMPARE(in.count(), qsizetype(plain.size()));
        for (size_t k = 0; k < plain.size(); ++k)
            QCOMPARE(in.select(qsizetype(k)), plain[k]);
    }
};

QTEST_GUILESS_MAIN(TestIndexLists)
#include "tst_indexlists.moc"
