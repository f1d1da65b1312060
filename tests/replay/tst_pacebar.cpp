// The replay's pace bar with real mouse events on its parts, where the style draws them:
// 1000 at the left end, 0 at the right, every part moving the thumb the way it points,
// and a dragged thumb changing the pace once, when it is let go.
#include "replay/logreplay.h"
#include "replay/pacebar.h"
#include "screens.h"
#include "widgets/crlfedit.h"
#include "widgets/vtimer.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestPaceBar : public QObject, public WindowsFixture
{
    Q_OBJECT

    replay* r = nullptr;
    PaceBar* bar() const { return r->HScroll1; }
    // Where the style draws a part of the bar, in the bar's pixels.
    QRect part(QStyle::SubControl which) const
    {
        QStyleOptionSlider opt;
        opt.initFrom(bar());
        opt.subControls = QStyle::SC_All;
        opt.orientation = Qt::Horizontal;
        opt.state |= QStyle::State_Horizontal;
        opt.minimum = bar()->minimum();
        opt.maximum = bar()->maximum();
        opt.sliderPosition = bar()->sliderPosition();
        opt.sliderValue = bar()->value();
        opt.singleStep = bar()->singleStep();
        opt.pageStep = bar()->pageStep();
        opt.upsideDown = bar()->invertedAppearance();
        return bar()->style()->subControlRect(QStyle::CC_ScrollBar, &opt, which, bar());
    }

private Q_SLOTS:
    void init()
    {
        openWindows();
        windows->showForm1();
        r = windows->showReplay();
        QVERIFY(QTest::qWaitForWindowExposed(r));
    }
    void cleanup()
    {
        closeWindows();
        r = nullptr;
    }

    void slowIsTheLeftEnd()
    {
        QCOMPARE(bar()->interval(), 1000);
        QVERIFY(part(QStyle::SC_ScrollBarSlider).left() <=
                part(QStyle::SC_ScrollBarSubLine).right() + 1);
    }

    void partsMoveThePaceTheWayTheyPoint_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("fast");
        QTest::newRow("left arrow: toward 1000")
            << 500 << int(QStyle::SC_ScrollBarSubLine) << 501 << false;
        QTest::newRow("right arrow: toward 0")
            << 500 << int(QStyle::SC_ScrollBarAddLine) << 499 << false;
        QTest::newRow("trough left of the thumb: toward 1000")
            << 500 << int(QStyle::SC_ScrollBarSubPage) << 501 << false;
        QTest::newRow("trough right of the thumb: toward 0")
            << 500 << int(QStyle::SC_ScrollBarAddPage) << 499 << false;
        QTest::newRow("right arrow from 101 reaches Fast")
            << 101 << int(QStyle::SC_ScrollBarAddLine) << 100 << true;
    }
    void partsMoveThePaceTheWayTheyPoint()
    {
        QFETCH(int, from);
        QFETCH(int, part);
        QFETCH(int, to);
        QFETCH(bool, fast);
        bar()->setInterval(from);
        QTest::mouseClick(bar(), Qt::LeftButton, {}, this->part(QStyle::SubControl(part)).center());
        QCOMPARE(bar()->interval(), to);
        QCOMPARE(r->Text5->text(), QString::number(to));
        QCOMPARE(r->Timer7->interval(), to);
        QCOMPARE(r->Option1->isChecked(), fast);
    }

    // Dragged across the bar, the thumb passes 100 on its way: the pace changes once, at
    // the release, so "Fast" is not chosen on the way.
    void aDragChangesThePaceOnceWhenLetGo()
    {
        QSignalSpy changes(bar(), &PaceBar::intervalChanged);
        QVERIFY(changes.isValid());
        const QRect thumb = part(QStyle::SC_ScrollBarSlider);
        const QRect groove = part(QStyle::SC_ScrollBarGroove);
        QTest::mousePress(bar(), Qt::LeftButton, {}, thumb.center());
        for (int x = thumb.center().x(); x <= groove.right(); x += 4)
            QTest::mouseMove(bar(), QPoint(x, thumb.center().y()));
        const QPoint middle(groove.center().x(), thumb.center().y());
        QTest::mouseMove(bar(), middle);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(r->Text5->text(), QStringLiteral("1000"));
        QTest::mouseRelease(bar(), Qt::LeftButton, {}, middle);
        QCOMPARE(changes.count(), 1);
        QVERIFY2(qAbs(bar()->interval() - 500) < 60,
                 qPrintable(QString::number(bar()->interval())));
        QCOMPARE(r->Text5->text(), QString::number(bar()->interval()));
        QVERIFY(!r->Option1->isChecked());
        QVERIFY(r->Option3->isChecked()); // Slow stays chosen: no other value selects
        // Let go at the right end: no ticks, as with Pause.
        QTest::mousePress(bar(), Qt::LeftButton, {}, part(QStyle::SC_ScrollBarSlider).center());
        QTest::mouseMove(bar(), QPoint(groove.right() + 20, thumb.center().y()));
        QTest::mouseRelease(bar(), Qt::LeftButton, {},
                            QPoint(groove.right() + 20, thumb.center().y()));
        QCOMPARE(bar()->interval(), 0);
        QCOMPARE(r->Timer7->interval(), 0);
    }

    void arrowKeysMoveByOne()
    {
        bar()->setFocus();
        QTest::keyClick(bar(), Qt::Key_Right);
        QCOMPARE(bar()->interval(), 999);
        QCOMPARE(r->Text5->text(), QStringLiteral("999"));
        QTest::keyClick(bar(), Qt::Key_Left);
        QCOMPARE(bar()->interval(), 1000);
        bar()->setInterval(0);
        QCOMPARE(r->Text5->text(), QStringLiteral("0"));
        QCOMPARE(r->Timer7->interval(), 0);
    }
};

QTEST_MAIN(TestPaceBar)
#include "tst_pacebar.moc"
