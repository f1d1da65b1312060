// The car diagnostics screen against the simulated controller over a pseudo-terminal.
#include "diagnostics/carcommands.h"
#include "diagnostics/signalgrid.h"
#include "diagnostics/statusscanner.h"
#include "fakes.h"
#include "platform/qtserialcomm.h"
#include "shell/form1.h"
#include "widgets/crlfedit.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestCarSim : public QObject
{
    Q_OBJECT

    QProcess sim;
    FakeWorld w;
    QtSerialComm serial;
    std::unique_ptr<Form1> form;

private Q_SLOTS:
    void initTestCase()
    {
        sim.start(qEnvironmentVariable("VANTREL_SIM"), {QStringLiteral("--chunks")});
        QVERIFY(sim.waitForReadyRead(5000));
        qputenv("VANTREL_COM1", sim.readLine().trimmed());
        Services s = w.services();
        s.serial = &serial;
        form = std::make_unique<Form1>(s);
        form->Form_Load();
        form->show();
        QVERIFY(serial.portOpen());
    }
    void cleanupTestCase()
    {
        form.reset();
        sim.kill();
        sim.waitForFinished();
    }

    void pmiFillsTheGridWithinASecond()
    {
        form->Command1->click();
        // At rest on landing 1: door-closed signals and the landing bit are set.
        QTRY_COMPARE_WITH_TIMEOUT(form->grid->label(QStringLiteral("lbl3_1"))->text(),
                                  QStringLiteral("1 "), 5000);
        QCOMPARE(form->grid->label(QStringLiteral("lbl514"))->text(), QStringLiteral("0 "));
        QCOMPARE(form->grid->label(QStringLiteral("lbl13_2"))->text(), QStringLiteral("1 "));
        // At rest the speed is asked until it reads rest, which counts a stop.
        QTRY_COMPARE_WITH_TIMEOUT(form->txtvel->text(), QStringLiteral("  0"), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(form->scanner().StopCount(), qint16(1), 3000);
    }

    void dobMovesTheCarAndTheScreenFollows()
    {
        const int stopsBefore = form->scanner().StopCount();
        QTest::keyClicks(form->txtpos, QStringLiteral("4"));
        form->Command3->click();
        QTRY_COMPARE_WITH_TIMEOUT(form->grid->label(QStringLiteral("lbl514"))->text(),
                                  QStringLiteral("1 "), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(form->txtvel->text().trimmed().toInt() > 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(form->scanner().StopCount() > stopsBefore, 30000);
        QCOMPARE(form->txtvel->text(), QStringLiteral("  0"));
        QTRY_VERIFY_WITH_TIMEOUT(form->Text5->text().startsWith(QStringLiteral("ARRIVED AT 4")),
                                 15000);
        QTRY_COMPARE_WITH_TIMEOUT(form->grid->label(QStringLiteral("lbl13_5"))->text(),
                                  QStringLiteral("1 "), 5000);
        QVERIFY(!form->txtbbt->text().isEmpty());
    }
};

QTEST_MAIN(TestCarSim)
#include "tst_car_sim.moc"
