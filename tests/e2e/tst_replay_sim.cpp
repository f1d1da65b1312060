// A live session against the simulated controller, recorded into a capture log and
// played back: the replay screen's grid shows the dumps the live grid showed.
#include "diagnostics/signalgrid.h"
#include "ptyfixture.h"
#include "replay/logreplay.h"
#include "shell/windows.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestReplaySim : public QObject, public SimFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openSim(); }
    void cleanup() { closeSim(); }

    void recordedSessionReplaysTheSameDumps()
    {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("session.log"));
        Form1* car = sim->form.get();
        car->show();
        sim->w.dialogScript->push_back(logPath);
        car->MOpenLog->trigger();
        QVERIFY(car->MCloseLog->isEnabled());
        const auto lbl514 = [car] { return car->grid->label(QStringLiteral("lbl514"))->text(); };

        car->Command1->click(); // pmi 1
        QTRY_VERIFY_WITH_TIMEOUT(showsWholeDump(*car->grid), kWholeDumpMs);
        const QStringList atLanding1 = gridCells(*car->grid);
        QTRY_COMPARE_WITH_TIMEOUT(car->txtvel->text(), QStringLiteral("  0"), 5000);
        QTest::keyClicks(car->txtpos, QStringLiteral("3"));
        car->Command3->click(); // DOB: the car travels
        QTRY_VERIFY_WITH_TIMEOUT(car->txtvel->text().trimmed().toInt() > 0, kWholeDumpMs);
        QTRY_VERIFY_WITH_TIMEOUT(showsWholeDump(*car->grid) && lbl514() == QStringLiteral("1 "),
                                 kWholeDumpMs);
        const QStringList travelling = gridCells(*car->grid);
        QTRY_COMPARE_WITH_TIMEOUT(car->txtvel->text(), QStringLiteral("  0"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(showsWholeDump(*car->grid) && lbl514() == QStringLiteral("0 "),
                                 kWholeDumpMs);
        const QStringList atLanding3 = gridCells(*car->grid);
        QVERIFY(atLanding1 != atLanding3);
        // The replay fills a dump's last cell (its value and CR) when it reads the line
        // after the dump: the log must go on past this dump before it is closed.
        const qint64 logged = QFileInfo(logPath).size();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(logPath).size() > logged, kWholeDumpMs);
        car->MCloseLog->trigger();
        closeSim();

        FakeWorld w;
        Windows screens(w.services());
        replay* r = screens.showReplay();
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
