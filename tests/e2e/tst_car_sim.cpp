// The car diagnostics screen against the simulated controller over a pseudo-terminal.
#include "diagnostics/signalgrid.h"
#include "diagnostics/statusscanner.h"
#include "ptyfixture.h"
#include "shell/form1.h"
#include "widgets/crlfedit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestCarSim : public QObject, public SimFixture
{
    Q_OBJECT

    Form1& form() { return *sim->form; }
    QString cell(const char* name) { return form().grid->label(QLatin1String(name))->text(); }

    // "pmi 1", and the wait until the grid shows a dump read whole.
    void pollUntilAWholeDump()
    {
        form().Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(showsWholeDump(*form().grid), kWholeDumpMs);
    }

private Q_SLOTS:
    void init()
    {
        openSim();
        if (sim->form)
            sim->form->show();
    }
    void cleanup() { closeSim(); }

    void pmiFillsTheGridWithTheCarAtRest()
    {
        pollUntilAWholeDump();
        // At rest on landing 1: door-closed signals and the landing bit are set.
        QCOMPARE(cell("lbl3_1"), QStringLiteral("1 "));
        QCOMPARE(cell("lbl514"), QStringLiteral("0 "));
        QCOMPARE(cell("lbl13_2"), QStringLiteral("1 "));
        // At rest the speed is asked until it reads rest, which counts a stop.
        QTRY_COMPARE_WITH_TIMEOUT(form().txtvel->text(), QStringLiteral("  0"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(form().scanner().StopCount(), qint16(1), 3000);
    }

    void dobMovesTheCarAndTheScreenFollows()
    {
        pollUntilAWholeDump();
        QTRY_COMPARE_WITH_TIMEOUT(form().txtvel->text(), QStringLiteral("  0"), 5000);
        const int stopsBefore = form().scanner().StopCount();
        QTest::keyClicks(form().txtpos, QStringLiteral("4"));
        form().Command3->click();
        QTRY_COMPARE_WITH_TIMEOUT(cell("lbl514"), QStringLiteral("1 "), kWholeDumpMs);
        QTRY_VERIFY_WITH_TIMEOUT(form().txtvel->text().trimmed().toInt() > 0, kWholeDumpMs);
        // The fault text tells of the arrival only after the stop was counted (its
        // request follows the stop's "bbt").
        QTRY_VERIFY_WITH_TIMEOUT(form().Text5->text().startsWith(QStringLiteral("ARRIVED AT 4")),
                                 30000);
        QVERIFY(form().scanner().StopCount() > stopsBefore);
        QTRY_COMPARE_WITH_TIMEOUT(form().txtvel->text(), QStringLiteral("  0"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(cell("lbl13_5"), QStringLiteral("1 "), kWholeDumpMs);
        QTRY_VERIFY_WITH_TIMEOUT(!form().txtbbt->text().isEmpty(), 5000);
    }
};

QTEST_MAIN(TestCarSim)
#include "tst_car_sim.moc"
