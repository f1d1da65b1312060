// The toolkit timer's model: interval 0 never ticks, enabling an enabled timer keeps
// its period, off and on restarts it.
#include "widgets/vtimer.h"

#include <QSignalSpy>
#include <QTest>

using namespace vantrel;

class TestVTimer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void intervalZeroNeverTicks()
    {
        VTimer t(0, true);
        QSignalSpy spy(&t, &VTimer::Timer);
        QVERIFY(spy.isValid());
        QTest::qWait(60);
        QCOMPARE(spy.count(), 0);
        t.setInterval(10);
        QTRY_VERIFY(spy.count() > 0);
    }

    void enablingAnEnabledTimerKeepsItsPeriod()
    {
        VTimer t(100, true);
        QSignalSpy spy(&t, &VTimer::Timer);
        for (int i = 0; i < 10; ++i) {
            QTest::qWait(20);
            t.setEnabled(true);
        }
        QVERIFY2(spy.count() > 0, "re-enabling restarted the period");
    }

    void offAndOnRestartsThePeriod()
    {
        VTimer t(150, true);
        QSignalSpy spy(&t, &VTimer::Timer);
        QTest::qWait(100);
        t.setEnabled(false);
        t.setEnabled(true);
        QTest::qWait(100);
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestVTimer)
#include "tst_vtimer.moc"
