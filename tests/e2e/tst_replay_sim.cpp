// A live session against the simulated controller, recorded into a capture log and
// played back: the replay screen's grid shows the dumps the live grid showed.
#include "core/pmidump.h"
#include "diagnostics/signalgrid.h"
#include "fakes.h"
#include "platform/qtserialcomm.h"
#include "replay/logreplay.h"
#include "shell/windows.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// The live grid once it has held still across a few polls.
QStringList settledGrid(const SignalGrid& g)
{
    QStringList last = gridCells(g);
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(700);
        const QStringList now = gridCells(g);
        if (now == last)
            return now;
        last = now;
    }
    return last;
}
} // namespace

class TestReplaySim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordedSessionReplaysTheSameDumps()
    {
        QProcess sim;
        sim.start(qEnvironmentVariable("VANTREL_SIM"), {QStringLiteral("--chunks")});
        QVERIFY(sim.waitForReadyRead(5000));
        qputenv("VANTREL_COM1", sim.readLine().trimmed());
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("session.log"));

        FakeWorld w;
        QtSerialComm serial;
        Services s = w.services();
        s.serial = &serial;
        Windows windows(s);
        Form1* car = windows.showForm1();
        QVERIFY(serial.portOpen());
        w.dialogScript->push_back(logPath);
        car->MOpenLog->trigger();
        QVERIFY(car->MCloseLog->isEnabled());

        car->Command1->click(); // pmi 1
        QTRY_COMPARE_WITH_TIMEOUT(car->grid->label(QStringLiteral("lbl3_1"))->text(),
                                  QStringLiteral("1 "), 3000);
        const QStringList atLanding1 = settledGrid(*car->grid);
        QTest::keyClicks(car->txtpos, QStringLiteral("3"));
        car->Command3->click(); // DOB: the car travels
        QTRY_COMPARE_WITH_TIMEOUT(car->grid->label(QStringLiteral("lbl514"))->text(),
                                  QStringLiteral("1 "), 5000);
        const QStringList travelling = gridCells(*car->grid);
        QTRY_COMPARE_WITH_TIMEOUT(car->txtvel->text(), QStringLiteral("  0"), 30000);
        const QStringList atLanding3 = settledGrid(*car->grid);
        QVERIFY(atLanding1 != atLanding3);
        car->MCloseLog->trigger();
        sim.kill();
        sim.waitForFinished();

        replay* r = windows.showReplay();
        w.dialogScript->push_back(logPath);
        r->MRplayLog->trigger();
        QVERIFY(r->Command1->isEnabled());
        r->Option4->click();
        QSet<QString> seen;
        int steps = 0;
        while (r->Command1->isEnabled() && steps < 1000000) {
            r->Command1->click();
            QVERIFY(QTest::qWaitFor([r] { return !r->playback().waiting(); }, 10000));
            seen.insert(gridCells(*r->grid).join(u'|'));
            ++steps;
        }
        QVERIFY(steps > 20);
        QVERIFY(seen.contains(atLanding1.join(u'|')));
        QVERIFY(seen.contains(travelling.join(u'|')));
        QVERIFY(seen.contains(atLanding3.join(u'|')));
    }
};

QTEST_MAIN(TestReplaySim)
#include "tst_replay_sim.moc"
