// The commands, the overlay panel, the stress test and the timer network, tick by tick.
#include "core/carmodel.h"
#include "core/pmidump.h"
#include "diagnostics/carcommands.h"
#include "diagnostics/signalgrid.h"
#include "diagnostics/statusscanner.h"
#include "fakes.h"
#include "screens.h"
#include "shell/form1.h"
#include "testfiles.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/lamp.h"
#include "widgets/vtimer.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace vantrel;
using namespace vantrel::test;

class TestCarCommands : public QObject, public CarScreenFixture
{
    Q_OBJECT

    QList<bool> timers() const
    {
        return {form->Timer1->enabled(), form->Timer2->enabled(), form->Timer3->enabled(),
                form->Timer4->enabled(), form->Timer5->enabled()};
    }
    static QString dump()
    {
        return pmiDump([](int, int) { return u'0'; });
    }

private Q_SLOTS:
    void init()
    {
        openScreen();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->model().setTimer(CarModel::LampTimer, false);
    }
    void cleanup() { closeScreen(); }

    void startState()
    {
        FakeWorld fresh;
        Form1 f(fresh.services());
        QCOMPARE(f.windowTitle(), QStringLiteral("Vantrel Car"));
        QVERIFY(f.Text3->isHidden());
        QVERIFY(f.Picture1->isHidden());
        QCOMPARE(f.Text4->text(), QStringLiteral("5"));
        QCOMPARE((QList<bool>{f.Timer1->enabled(), f.Timer2->enabled(), f.Timer3->enabled(),
                              f.Timer4->enabled(), f.Timer5->enabled(), f.Timer7->enabled()}),
                 (QList<bool>{false, false, false, true, false, false}));
        QCOMPARE(f.Timer7->interval(), 100);
    }

    void dob_data()
    {
        QTest::addColumn<QString>("pos");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("B") << "B" << QByteArray("scc1\r");
        QTest::newRow("1") << "1" << QByteArray("scc2\r");
        QTest::newRow("6") << "6" << QByteArray("scc7\r");
        QTest::newRow("7 sends nothing") << "7" << QByteArray();
        QTest::newRow("lower-case b sends nothing") << "b" << QByteArray();
        QTest::newRow("empty sends nothing") << "" << QByteArray();
        QTest::newRow("blank after sends nothing") << "1 " << QByteArray();
    }
    void dob()
    {
        QFETCH(QString, pos);
        QFETCH(QByteArray, sent);
        form->txtpos->setText(pos);
        form->Command3->click();
        QCOMPARE(takeSent(), sent);
    }

    void pmiButtonStartsThePoll()
    {
        form->Command1->click();
        QCOMPARE(takeSent(), QByteArray("pmii\r"));
        QVERIFY(!form->Text3->isHidden());
        QVERIFY(!form->Picture1->isHidden());
        QCOMPARE(form->Label3->color(), color::DarkGreen);
        QVERIFY(form->Timer2->enabled());
        QVERIFY(form->Text3->hasFocus());
        QCOMPARE(form->Label5->color(), color::LightGrey);

        // Poll cycle: Timer2 asks until Timer1 finds the dump.
        form->commands().Timer2_Timer();
        QCOMPARE(takeSent(), QByteArray("pmii\r"));
        QCOMPARE(form->Label5->color(), color::Green);
        QVERIFY(form->Timer1->enabled());
        form->commands().Timer1_Timer();
        QVERIFY(!form->Timer2->enabled());
        QVERIFY(form->Timer1->enabled());
        form->model().parseBuffer().setText(QStringLiteral("> PMII\r\n") + dump());
        form->commands().Timer1_Timer();
        QCOMPARE(timers(), (QList<bool>{false, false, true, false, false}));
        QCOMPARE(takeSent(), QByteArray("vel\r")); // SM 0 and no rest speed shown yet
        form->commands().Timer3_Timer();
        QVERIFY(form->Timer2->enabled());
        QCOMPARE(takeSent(), QByteArray());

        // Picture1 click hides the panel and keeps PMI mode.
        QTest::mouseClick(form->Picture1, Qt::LeftButton);
        QVERIFY(form->Picture1->isHidden());
        QVERIFY(!form->Text3->isHidden());
        QVERIFY(form->Text3->hasFocus());

        form->Command2->click();
        QCOMPARE(timers(), (QList<bool>{false, false, false, false, false}));
        QVERIFY(form->Text3->isHidden());
        QCOMPARE(form->Label3->color(), color::LightGrey);
        QVERIFY(form->Term->hasFocus());
    }

    void stepButtons()
    {
        form->Command4->click();
        QCOMPARE(takeSent(), QByteArray("stu\r"));
        QVERIFY(form->Term->hasFocus());
        form->Command1->click();
        takeSent();
        form->Command5->click();
        QCOMPARE(takeSent(), QByteArray("std\r"));
        QVERIFY(form->Text3->hasFocus());
    }

    void enterInTheCommandBox()
    {
        form->Command1->click();
        takeSent();
        QTest::keyClick(form->Text3, Qt::Key_Return);
        QCOMPARE(takeSent(), QByteArray("\r"));
        QTest::keyClicks(form->Text3, QStringLiteral("scc3"));
        QCOMPARE(takeSent(), QByteArray());
        QTest::keyClick(form->Text3, Qt::Key_Return);
        QTest::keyClick(form->Text3, Qt::Key_Enter);
        QCOMPARE(takeSent(), QByteArray("scc3\rscc3\r"));
    }

    // The quiet poll asks once after a whole quiet second of real time, with Timer4's
    // tick taken as the program goes idle or from its own wake-up: the same input sends
    // the same bytes, the two within a poll step of each other however busy the machine.
    void lampTickWhenIdleSendsAsTheTimerDoes()
    {
        QByteArray sent[2];
        qint64 pollAfter[2] = {-1, -1};
        for (int idle : {0, 1}) {
            init();
            form->commands().setLampTickWhenIdle(idle);
            form->Command1->click();
            form->model().setTimer(CarModel::PollTimer, false);
            takeSent();
            QElapsedTimer quiet;
            connect(form->Timer5, &VTimer::Timer, this, [&] { pollAfter[idle] = quiet.elapsed(); });
            for (const char* piece : {"> PMII VEL", " =     0\r", "I/O\r"}) {
                w->serial.receive(QLatin1String(piece));
                quiet.start();
                QTRY_VERIFY(!form->Timer4->enabled());
                QVERIFY(form->Timer5->enabled());
            }
            QTRY_COMPARE_WITH_TIMEOUT(w->serial.sent.count("pmii\r"), 1, 10000);
            // Once: Timer1 waits for the dump meanwhile, and past another whole quiet
            // second of its ticks nothing more is asked.
            QVERIFY(!form->Timer5->enabled());
            QSignalSpy looks(form->Timer1, &VTimer::Timer);
            QTRY_VERIFY_WITH_TIMEOUT(looks.count() >= 5, 10000);
            sent[idle] = takeSent();
            cleanup();
        }
        QCOMPARE(sent[1], sent[0]);
        QCOMPARE(sent[0], QByteArray("bbt\rpmii\r"));
        QVERIFY2(pollAfter[0] >= 1000 && pollAfter[1] >= 1000,
                 qPrintable(QStringLiteral("%1 %2").arg(pollAfter[0]).arg(pollAfter[1])));
        QVERIFY2(qAbs(pollAfter[1] - pollAfter[0]) < 250,
                 qPrintable(QStringLiteral("%1 %2").arg(pollAfter[0]).arg(pollAfter[1])));
    }

    // The stress steps are the model's; the screen gives the target and the caption.
    void stressTestTargetAndCaption()
    {
        form->Text4->setText(QStringLiteral("12"));
        form->Command6->click();
        QCOMPARE(form->windowTitle(), QStringLiteral("Stress Test"));
        QVERIFY(form->Timer3->enabled());
        form->commands().Timer3_Timer();
        form->commands().Timer3_Timer();
        QCOMPARE(takeSent(), QByteArray("scc12\r"));
        QCOMPARE(form->Label5->color(), color::Green);
        form->Command2->click();
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrel Car"));
        QCOMPARE(timers().mid(0, 3), (QList<bool>{false, false, false}));
    }

    void firstStressPressDuringThePollStopsTheCycle()
    {
        form->Command1->click();
        form->model().parseBuffer().setText(QStringLiteral("> PMII\r\n") + dump());
        form->commands().Timer1_Timer();
        QVERIFY(form->Timer3->enabled());
        form->Command6->click();
        QVERIFY(!form->Timer3->enabled());
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrel Car"));
        form->Command6->click();
        QCOMPARE(form->windowTitle(), QStringLiteral("Stress Test"));
    }
};

QTEST_MAIN(TestCarCommands)
#include "tst_carcommands.moc"
