// The status scanner, the commands and the timer network, tick by tick.
#include "diagnostics/cardiagnostics.h"
#include "diagnostics/pmidump.h"
#include "diagnostics/signalgrid.h"
#include "fakes.h"
#include "platform/colors.h"
#include "platform/crlfedit.h"
#include "platform/textbox.h"
#include "platform/vtimer.h"
#include "shell/form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <limits>

using namespace vantrel;
using namespace vantrel::test;

class TestCarDiagnostics : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeWorld> w;
    std::unique_ptr<Form1> form;
    CarDiagnostics& d() { return form->diagnostics(); }
    QByteArray takeSent()
    {
        const QByteArray s = w->serial.sent;
        w->serial.sent.clear();
        return s;
    }
    QList<bool> timers() const
    {
        return {form->Timer1->enabled(), form->Timer2->enabled(), form->Timer3->enabled(),
                form->Timer4->enabled(), form->Timer5->enabled()};
    }
    static QString dump()
    {
        QString s = kPmiHeader + QStringLiteral("\r\n");
        for (int n = 1; n <= 8; ++n)
            s += QStringLiteral("L      0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n");
        return s;
    }

private Q_SLOTS:
    void init()
    {
        w = std::make_unique<FakeWorld>();
        form = std::make_unique<Form1>(w->services());
        form->Form_Load();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->Timer4->setEnabled(false);
        takeSent();
    }
    void cleanup()
    {
        form.reset();
        w.reset();
    }

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

    void scanner_data()
    {
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<QString>("vel");
        QTest::addColumn<QString>("bbt");
        QTest::addColumn<QString>("flt");
        QTest::addColumn<bool>("timer1");
        QTest::newRow("no echo, nothing is read") << "VEL =     0"
                                                  << ""
                                                  << ""
                                                  << "" << false;
        QTest::newRow("speed after the echo") << "> PMII\r\nVEL =    12\r\n"
                                              << " 12"
                                              << ""
                                              << "" << true;
        QTest::newRow("speed label as the buffer's end gives one character") << "> PMIIVEL =   7"
                                                                             << "7"
                                                                             << ""
                                                                             << "" << true;
        QTest::newRow("first speed wins") << "> PMII VEL =    12 VEL =    34"
                                          << " 12"
                                          << ""
                                          << "" << true;
        QTest::newRow("bbt in lower case is no marker") << "> PMII bbt =   00012"
                                                        << ""
                                                        << ""
                                                        << "" << true;
        QTest::newRow("BBT value 5 after the marker's end") << "> PMII BBT =   00042\r\n"
                                                            << ""
                                                            << "00042"
                                                            << "" << true;
        QTest::newRow("fault text") << "> PMII FLT0 =  DOOR FAULT\r\n"
                                    << ""
                                    << ""
                                    << "DOOR FAULT\r\n"
                                    << true;
    }
    void scanner()
    {
        QFETCH(QString, buffer);
        QFETCH(QString, vel);
        QFETCH(QString, bbt);
        QFETCH(QString, flt);
        QFETCH(bool, timer1);
        form->Text1->setText(buffer);
        QCOMPARE(form->txtvel->text(), vel);
        QCOMPARE(form->txtbbt->text(), bbt);
        QCOMPARE(form->Text5->text(), flt);
        QCOMPARE(form->Timer1->enabled(), timer1);
    }

    void stopChain()
    {
        form->Text1->setText(QStringLiteral("> PMII VEL =    12"));
        QCOMPARE(d().StopCount(), 0);
        QCOMPARE(takeSent(), QByteArray());
        form->Text1->setText(QStringLiteral("> PMII VEL =     0"));
        QCOMPARE(d().StopCount(), 1);
        QCOMPARE(form->Text2->text(), QStringLiteral("1"));
        QCOMPARE(takeSent(), QByteArray("bbt\r"));
        // Still at rest: no change, nothing further.
        form->Text1->setText(QStringLiteral("> PMII VEL =     0 "));
        QCOMPARE(takeSent(), QByteArray());
        form->Timer5->setEnabled(true);
        form->Text1->setText(QStringLiteral("> PMII VEL =     0 BBT =   00001"));
        QCOMPARE(takeSent(), QByteArray("flt0\r"));
        QVERIFY(!form->Timer5->enabled());
        form->Text1->setText(QStringLiteral("> PMII FLT0 =  ARRIVED"));
        QCOMPARE(form->Text5->text(), QStringLiteral("ARRIVED"));
        QCOMPARE(takeSent(), QByteArray());
    }

    void userEdits()
    {
        QTest::keyClicks(form->Text2, QStringLiteral("9"));
        QCOMPARE(takeSent(), QByteArray("bbt\r"));
        form->Timer5->setEnabled(true);
        QTest::keyClicks(form->txtpos, QStringLiteral("3"));
        QVERIFY(!form->Timer5->enabled());
        QCOMPARE(takeSent(), QByteArray());
    }

    void resetThenNextStopShowsOne()
    {
        form->Text1->setText(QStringLiteral("> PMII VEL =     0"));
        form->Text1->setText(QStringLiteral("> PMII VEL =     5"));
        form->Text1->setText(QStringLiteral("> PMII VEL =     0"));
        QCOMPARE(form->Text2->text(), QStringLiteral("2"));
        form->Command2->click();
        QCOMPARE(form->Text2->text(), QStringLiteral("2"));
        form->Text1->setText(QStringLiteral("> PMII VEL =     5"));
        form->Text1->setText(QStringLiteral("> PMII VEL =     0"));
        QCOMPARE(form->Text2->text(), QStringLiteral("1"));
    }

    void stopCountRollsOverAtItsLimit()
    {
        for (int i = 0; i < std::numeric_limits<qint16>::max(); ++i) {
            form->txtvel->setText(QStringLiteral(" 1"));
            form->txtvel->setText(QStringLiteral("  0"));
        }
        QCOMPARE(d().StopCount(), qint16(32767));
        takeSent();
        form->txtvel->setText(QStringLiteral(" 1"));
        form->txtvel->setText(QStringLiteral("  0"));
        QCOMPARE(d().StopCount(), qint16(0));
        QCOMPARE(form->Text2->text(), QStringLiteral("0"));
        QCOMPARE(takeSent(), QByteArray("bbt\r"));
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
        QCOMPARE(backColor(form->Label3), color::DarkGreen);
        QVERIFY(form->Timer2->enabled());
        QVERIFY(form->Text3->hasFocus());
        QCOMPARE(backColor(form->Label5), color::LightGrey);

        // Poll cycle: Timer2 asks until Timer1 finds the dump.
        form->diagnostics().Timer2_Timer();
        QCOMPARE(takeSent(), QByteArray("pmii\r"));
        QCOMPARE(backColor(form->Label5), color::Green);
        QVERIFY(form->Timer1->enabled());
        form->diagnostics().Timer1_Timer();
        QVERIFY(!form->Timer2->enabled());
        QVERIFY(form->Timer1->enabled());
        form->Text1->setText(QStringLiteral("> PMII\r\n") + dump());
        form->diagnostics().Timer1_Timer();
        QCOMPARE(timers(), (QList<bool>{false, false, true, false, false}));
        QCOMPARE(takeSent(), QByteArray("vel\r")); // SM 0 and no rest speed shown yet
        form->diagnostics().Timer3_Timer();
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
        QCOMPARE(backColor(form->Label3), color::LightGrey);
        QVERIFY(form->Term->hasFocus());
    }

    void closedPortPollsSendNothing()
    {
        form->MOpen->trigger();
        form->diagnostics().Timer2_Timer();
        form->diagnostics().Timer5_Timer();
        form->Timer5->setEnabled(true);
        form->diagnostics().Timer5_Timer();
        QVERIFY(form->Timer5->enabled());
        QVERIFY(!form->Timer1->enabled());
        QCOMPARE(backColor(form->Label5), color::LightGrey);
        form->Command4->click();
        QCOMPARE(backColor(form->Label5), color::Green);
        QVERIFY(w->serial.sent.isEmpty());
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

    void quietLinePollAsksOnceAfterAQuietSecond()
    {
        form->Command1->click();
        takeSent();
        w->serial.receive(QStringLiteral("burst"));
        QVERIFY(form->Timer4->enabled());
        QVERIFY(!form->Timer5->enabled());
        form->diagnostics().Timer4_Timer();
        QVERIFY(form->Timer5->enabled());
        QVERIFY(!form->Timer4->enabled());
        form->diagnostics().Timer5_Timer();
        QCOMPARE(takeSent(), QByteArray("pmii\r"));
        QVERIFY(!form->Timer5->enabled());
        QVERIFY(form->Timer1->enabled());
        // No more data: the lamp reset does not arm it again.
        form->diagnostics().Timer4_Timer();
        QVERIFY(!form->Timer5->enabled());
        // A txtpos or txtbbt change cancels a pending poll.
        w->serial.receive(QStringLiteral("more"));
        form->diagnostics().Timer4_Timer();
        QVERIFY(form->Timer5->enabled());
        form->txtpos->setText(QStringLiteral("2"));
        QVERIFY(!form->Timer5->enabled());
    }

    void quietLinePollWaitsForRealTime()
    {
        form->Command1->click();
        form->Timer2->setEnabled(false);
        takeSent();
        w->serial.receive(QStringLiteral("x"));
        QTest::qWait(300);
        QVERIFY(!w->serial.sent.contains("pmii"));
        QTRY_COMPARE_WITH_TIMEOUT(w->serial.sent.count("pmii\r"), 1, 2000);
        QTest::qWait(1200);
        QCOMPARE(w->serial.sent.count("pmii\r"), 1);
    }

    void lampsGoGreyOnTimer4()
    {
        form->Command4->click();
        w->serial.receive(QStringLiteral("x"));
        QCOMPARE(backColor(form->Label4), color::DarkRed);
        form->diagnostics().Timer4_Timer();
        QCOMPARE(backColor(form->Label4), color::LightGrey);
        QCOMPARE(backColor(form->Label5), color::LightGrey);
        QVERIFY(!form->Timer5->enabled()); // not in PMI mode
    }

    void stressTest()
    {
        form->Text4->setText(QStringLiteral("12"));
        form->Command6->click();
        QCOMPARE(form->windowTitle(), QStringLiteral("Stress Test"));
        QVERIFY(form->Timer3->enabled());
        form->diagnostics().Timer3_Timer();
        QCOMPARE(takeSent(), QByteArray());
        QVERIFY(form->Timer2->enabled());
        form->diagnostics().Timer3_Timer();
        QCOMPARE(takeSent(), QByteArray("scc12\r"));
        QCOMPARE(backColor(form->Label5), color::Green);
        form->diagnostics().Timer3_Timer();
        QCOMPARE(takeSent(), QByteArray("scc1\r"));
        QCOMPARE(d().stressPhase(), qint16(1));
        // Reset mid-phase; the next start goes on where it stopped.
        form->Command2->click();
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrel Car"));
        QCOMPARE(timers().mid(0, 3), (QList<bool>{false, false, false}));
        form->Text4->clear();
        form->Command6->click();
        form->diagnostics().Timer3_Timer();
        QCOMPARE(takeSent(), QByteArray("scc\r"));
        // A press while Timer3 runs stops it.
        form->Command6->click();
        QVERIFY(!form->Timer3->enabled());
        QVERIFY(!form->Timer2->enabled());
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrel Car"));
        form->diagnostics().Timer3_Timer();
        QCOMPARE(takeSent(), QByteArray());
    }

    void firstStressPressDuringThePollStopsTheCycle()
    {
        form->Command1->click();
        form->Text1->setText(QStringLiteral("> PMII\r\n") + dump());
        form->diagnostics().Timer1_Timer();
        QVERIFY(form->Timer3->enabled());
        form->Command6->click();
        QVERIFY(!form->Timer3->enabled());
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrel Car"));
        form->Command6->click();
        QCOMPARE(form->windowTitle(), QStringLiteral("Stress Test"));
    }
};

QTEST_MAIN(TestCarDiagnostics)
#include "tst_cardiagnostics.moc"
