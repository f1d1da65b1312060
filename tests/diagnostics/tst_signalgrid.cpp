// The PMI dump read into the signal grid, from fixture folders and live pieces.
#include "core/pmidump.h"
#include "diagnostics/carcommands.h"
#include "diagnostics/signalgrid.h"
#include "fakes.h"
#include "screens.h"
#include "shell/form1.h"
#include "testfiles.h"
#include "widgets/colors.h"
#include "widgets/vtimer.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
QString dumpText()
{
    return pmiDump([](int n, int k) { return QChar(u'a' + (n + k) % 26); });
}
} // namespace

class TestSignalGrid : public QObject, public CarScreenFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openScreen(); }
    void cleanup() { closeScreen(); }

    void gridLabels()
    {
        const QStringList names = {"lbl01",  "lbl_10", "lb4_9",   "lb6_9",   "lbl410", "lbl6_5",
                                   "lbl1_1", "lbl116", "lbl13_9", "lbl1310", "lbl1316"};
        for (const QString& n : names)
            QVERIFY2(form->grid->label(n), qPrintable(n));
        QCOMPARE(form->client->findChildren<QLabel*>(QRegularExpression("^lbl?_?\\d")).size(), 144);
        QCOMPARE(form->grid->label("lbl08")->text(), QStringLiteral(" MC"));
        QCOMPARE(form->grid->label("lbl_16")->text(), QStringLiteral("TRIP"));
        QCOMPARE(form->grid->label("lbl05")->text(), QStringLiteral("   "));
        QLabel* v = form->grid->label("lbl13_1");
        QCOMPARE(v->geometry(), QRect(4875 / 15, 360 / 15, 25, 17));
        QCOMPARE(backColor(v), color::LightGrey);
        QVERIFY(v->text().isEmpty());
        QCOMPARE(form->grid->label("lbl616")->geometry().topLeft(),
                 QPoint(2880 / 15, (360 + 240 * 15) / 15));
    }

    // The fill writes the reader's 75 values; text without a header changes nothing;
    // the five cells the dump never feeds stay empty.
    void fillWritesTheDumpsCellsAndNothingElse()
    {
        for (const char* never : {"lbl1_5", "lbl1_6", "lbl1_7", "lbl515", "lbl516"})
            form->grid->label(QLatin1String(never))->setText(QString());
        QVERIFY(!FillSignalGrid(*form->grid, QStringLiteral("no header here")));
        QCOMPARE(gridCells(*form->grid), QStringList(kGridCells, QString()));
        const QString dump = dumpText();
        QVERIFY(FillSignalGrid(*form->grid, dump));
        const auto values = readPmiDump(dump);
        QCOMPARE(gridCells(*form->grid), QStringList(values->begin(), values->end()));
        for (const char* never : {"lbl1_5", "lbl1_6", "lbl1_7", "lbl515", "lbl516"})
            QVERIFY(form->grid->label(QLatin1String(never))->text().isEmpty());
        QVERIFY(!FillSignalGrid(*form->grid, dump.toLower()));
        QCOMPARE(gridCells(*form->grid), QStringList(values->begin(), values->end()));
    }

    void liveDumpInEveryChunkingFillsTheSameGrid()
    {
        const QString reply = QStringLiteral("> PMII\r\n") + dumpText();
        QString raw = reply;
        raw.remove(QLatin1Char('\n'));
        const auto expected = readPmiDump(reply);
        QVERIFY(expected);
        for (int cut : {1, 5, 40, 0}) {
            init();
            QRandomGenerator rng(cut + 3);
            for (int at = 0; at < raw.size();) {
                const int n = cut ? cut : 1 + int(rng.bounded(30));
                w->serial.receive(raw.mid(at, n));
                at += n;
            }
            QVERIFY(form->Timer1->enabled());
            form->commands().Timer1_Timer();
            for (int i = 0; i < kGridCells; ++i)
                QCOMPARE(form->grid->cell(i)->text(), (*expected)[i]);
            QVERIFY(!form->Timer1->enabled());
            QVERIFY(form->Timer3->enabled());
        }
    }
};

QTEST_MAIN(TestSignalGrid)
#include "tst_signalgrid.moc"
