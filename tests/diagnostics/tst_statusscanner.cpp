// The value boxes on the car diagnostics screen: they show what the car model found,
// and the technician's edits reach the model.
#include "core/carmodel.h"
#include "diagnostics/statusscanner.h"
#include "screens.h"
#include "widgets/crlfedit.h"
#include "widgets/vtimer.h"

#include <QLineEdit>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestStatusScanner : public QObject, public CarScreenFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openScreen(); }
    void cleanup() { closeScreen(); }

    // What the model's scan found reaches the boxes; the scan's rules are the model's.
    void foundValuesReachTheBoxes()
    {
        w->serial.receive(
            QStringLiteral("> PMII\r\nVEL =     0\r\nBBT =   00042\r\nFLT0 =  DOOR FAULT\r\n"));
        QCOMPARE(form->txtvel->text(), QStringLiteral("  0"));
        QCOMPARE(form->Text2->text(), QStringLiteral("1"));
        QCOMPARE(form->txtbbt->text(), QStringLiteral("00042"));
        QCOMPARE(form->Text5->text(), QStringLiteral("DOOR FAULT\r\n"));
        QVERIFY(form->Timer1->enabled());
        QCOMPARE(takeSent(), QByteArray("bbt\rflt0\r"));
    }

    // The same values found again leave the boxes as the technician has them.
    void repeatedValuesLeaveTheBoxesAlone()
    {
        const QString reply = QStringLiteral("> PMII VEL =    12 BBT =   00042");
        form->model().parseBuffer().setText(reply);
        takeSent();
        form->txtvel->setSelection(0, 2);
        form->txtbbt->setCursorPosition(1);
        form->model().parseBuffer().setText(reply + QStringLiteral("\r\nI/O 8  0 0 0"));
        QCOMPARE(form->txtvel->selectedText(), QStringLiteral(" 1"));
        QCOMPARE(form->txtbbt->cursorPosition(), 1);
        QCOMPARE(takeSent(), QByteArray());
        form->model().parseBuffer().setText(QStringLiteral("> PMII VEL =    13 BBT =   00042"));
        QCOMPARE(form->txtvel->text(), QStringLiteral(" 13"));
        QCOMPARE(form->txtbbt->cursorPosition(), 1);
    }

    void userEdits()
    {
        QTest::keyClicks(form->Text2, QStringLiteral("9"));
        QCOMPARE(takeSent(), QByteArray("bbt\r"));
        form->model().setTimer(CarModel::QuietTimer, true);
        QTest::keyClicks(form->txtpos, QStringLiteral("3"));
        QVERIFY(!form->Timer5->enabled());
        QCOMPARE(takeSent(), QByteArray());
        form->txtvel->setText(QStringLiteral("  0"));
        QCOMPARE(form->scanner().StopCount(), qint16(1));
        QCOMPARE(form->Text2->text(), QStringLiteral("1"));
        QCOMPARE(takeSent(), QByteArray("bbt\r"));
    }
};

QTEST_MAIN(TestStatusScanner)
#include "tst_statusscanner.moc"
