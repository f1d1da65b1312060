// Lamps and the window's repaints at the frame clock's pace: the state changes at
// once, the screen at the next frame, and a flash between two frames is drawn lit.
#include "widgets/colors.h"
#include "widgets/frameclock.h"
#include "widgets/lamp.h"

#include <QLineEdit>
#include <QTest>

using namespace vantrel;

namespace
{
// Counts the paint events a widget gets.
class PaintCounter final : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
} // namespace

class TestLamp : public QObject
{
    Q_OBJECT

    FrameClock& clock() { return FrameClock::instance(); }

private Q_SLOTS:
    // Each row: the colours set between two frames, what each frame shows.
    void drawnAtFrames_data()
    {
        QTest::addColumn<QList<quint32>>("between");
        QTest::addColumn<QList<quint32>>("frames");
        const quint32 grey = color::LightGrey;
        const quint32 red = color::DarkRed;
        QTest::newRow("lit: drawn lit at the next frame")
            << QList<quint32>{red} << QList<quint32>{red, red};
        QTest::newRow("a flash shorter than a frame is drawn once, then put out")
            << QList<quint32>{red, grey} << QList<quint32>{red, grey, grey};
        QTest::newRow("the last lit colour of a frame wins")
            << QList<quint32>{color::Green, grey, red, grey} << QList<quint32>{red, grey};
        QTest::newRow("off and on again: stays lit")
            << QList<quint32>{grey, red} << QList<quint32>{red};
    }
    void drawnAtFrames()
    {
        QFETCH(QList<quint32>, between);
        QFETCH(QList<quint32>, frames);
        QWidget window;
        Lamp lamp("Label4", &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (quint32 c : between)
            lamp.setColor(c);
        QCOMPARE(lamp.color(), between.last()); // the state at once
        for (quint32 shown : frames) {
            clock().frame();
            QCOMPARE(lamp.drawnColor(), shown);
        }
    }

    // Flashes on every piece of a steady stream keep the lamp lit without a repaint.
    void aLampLitAgainAndAgainIsNotRedrawn()
    {
        QWidget window;
        Lamp lamp("Label4", &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter counter;
        lamp.installEventFilter(&counter);
        lamp.setColor(color::DarkRed);
        clock().frame();
        QTRY_VERIFY(counter.paints > 0); // lit on the screen
        counter.paints = 0;
        for (int i = 0; i < 5; ++i) {
            lamp.setColor(color::LightGrey);
            lamp.setColor(color::DarkRed);
            clock().frame();
            QCoreApplication::processEvents(); // where a repaint would be painted
        }
        QCOMPARE(counter.paints, 0);
        QCOMPARE(lamp.drawnColor(), color::DarkRed);
    }

    // A paced window repaints what changed in it once, at the frame.
    void aPacedWindowRepaintsOncePerFrame()
    {
        QWidget window;
        QLineEdit box(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        clock().pace(&window);
        clock().frame();
        PaintCounter counter;
        box.installEventFilter(&counter);
        for (int i = 0; i < 5; ++i) {
            box.setText(QString::number(i));
            QCoreApplication::processEvents();
        }
        QCOMPARE(box.text(), QStringLiteral("4"));
        QCOMPARE(counter.paints, 0);
        clock().frame();
        QCOMPARE(counter.paints, 1);
    }
};

QTEST_MAIN(TestLamp)
#include "tst_lamp.moc"
