// The status scanner on the car diagnostics screen: the boxes it fills from the parse
// buffer, the stop counter and the follow-up requests.
#include "diagnostics/statusscanner.h"
#include "screens.h"
#include "widgets/crlfedit.h"
#include "widgets/textbox.h"
#include "widgets/vtimer.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <limits>

using namespace vantrel;
using namespace vantrel::test;

class TestStatusScanner : public QObject, public CarScreenFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openScreen(); }
    void cleanup() { closeScreen(); }

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
        // The values reach their boxes; what is read from the buffer is the scan's rule.
        QTest::newRow("speed, BBT and fault reach their boxes")
            << "> PMII\r\nVEL =    12\r\nBBT =   00042\r\nFLT0 =  DOOR FAULT\r\n"
            << " 12"
            << "00042"
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
        QCOMPARE(form->scanner().StopCount(), 0);
        QCOMPARE(takeSent(), QByteArray());
        form->Text1->setText(QStringLiteral("> PMII VEL =     0"));
        QCOMPARE(form->scanner().StopCount(), 1);
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

    // The same values found again leave the boxes as the technician has them.
    void repeatedValuesLeaveTheBoxesAlone()
    {
        const QString reply = QStringLiteral("> PMII VEL =    12 BBT =   00042");
        form->Text1->setText(reply);
        takeSent();
        form->txtvel->setSelection(0, 2);
        form->txtbbt->setCursorPosition(1);
        form->Text1->setText(reply + QStringLiteral("\r\nI/O 8  0 0 0"));
        QCOMPARE(form->txtvel->selectedText(), QStringLiteral(" 1"));
        QCOMPARE(form->txtbbt->cursorPosition(), 1);
        QCOMPARE(takeSent(), QByteArray());
        form->Text1->setText(QStringLiteral("> PMII VEL =    13 BBT =   00042"));
        QCOMPARE(form->txtvel->text(), QStringLiteral(" 13"));
        QCOMPARE(form->txtbbt->cursorPosition(), 1);
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
        QCOMPARE(form->scanner().StopCount(), qint16(32767));
        takeSent();
        form->txtvel->setText(QStringLiteral(" 1"));
        form->txtvel->setText(QStringLiteral("  0"));
        QCOMPARE(form->scanner().StopCount(), qint16(0));
        QCOMPARE(form->Text2->text(), QStringLiteral("0"));
        QCOMPARE(takeSent(), QByteArray("bbt\r"));
    }
};

QTEST_MAIN(TestStatusScanner)
#include "tst_statusscanner.moc"
