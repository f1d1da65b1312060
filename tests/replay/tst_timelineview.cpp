// The timeline's view without a window, over generated logs: it keeps within the log and
// no shorter than its shortest stretch, and follows the cursor out of it.
#include "core/logindex.h"
#include "replay/timelineview.h"
#include "testlogs.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace vantrel;
using namespace vantrel::test;

class TestTimelineView : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // The view over a generated log, along times or lines.
    std::optional<TimelineView> open(bool timed)
    {
        const auto built = buildLogIndex(writeLog(dir.path(), 5, 3000, timed));
        if (!built) {
            QTest::qFail(qPrintable(built.why()), __FILE__, __LINE__);
            return std::nullopt;
        }
        return TimelineView(*built);
    }

private Q_SLOTS:
    void theViewStaysWithinTheLog_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<double>("from"); // in logs from its start
        QTest::addColumn<double>("span");
        QTest::addColumn<double>("wantFrom");
        QTest::addColumn<double>("wantSpan"); // below 0: the shortest stretch
        QTest::newRow("before the start") << false << -0.5 << 0.2 << 0.0 << 0.2;
        QTest::newRow("past the end") << false << 0.9 << 0.2 << 0.8 << 0.2;
        QTest::newRow("wider than the log") << false << 0.1 << 3.0 << 0.0 << 1.0;
        const double nan = std::nan("");
        QTest::newRow("no number for a place or a span") << true << nan << nan << 0.0 << 1.0;
        QTest::newRow("no number for a span") << false << 0.5 << nan << 0.0 << 1.0;
        QTest::newRow("endless span") << true << 0.5 << HUGE_VAL << 0.0 << 1.0;
        QTest::newRow("shorter than the shortest, along lines")
            << false << 0.0 << 0.0 << 0.0 << -1.0;
        QTest::newRow("shorter than the shortest, along times")
            << true << 0.0 << 0.0 << 0.0 << -1.0;
    }
    void theViewStaysWithinTheLog()
    {
        QFETCH(bool, timed);
        QFETCH(double, from);
        QFETCH(double, span);
        QFETCH(double, wantFrom);
        QFETCH(double, wantSpan);
        std::optional<TimelineView> view = open(timed);
        QVERIFY(view);
        const double start = view->summary().start();
        const double whole = view->summary().end() - start;
        view->setView(start + from * whole, span * whole);
        QCOMPARE(view->from(), start + wantFrom * whole);
        QCOMPARE(view->span(), wantSpan >= 0 ? wantSpan * whole
                                             : double(timed ? TimelineView::kMinSpanMs
                                                            : TimelineView::kMinSpanLines));
    }

    void theViewFollowsTheCursorOutOfIt_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::newRow("along times") << true;
        QTest::newRow("along lines") << false;
    }
    void theViewFollowsTheCursorOutOfIt()
    {
        QFETCH(bool, timed);
        std::optional<TimelineView> view = open(timed);
        QVERIFY(view);
        const double whole = view->summary().end() - view->summary().start();
        view->setView(view->summary().start(), whole / 50);
        const double span = view->span();
        const qint64 line = view->index().lines() * 4 / 5;
        view->setCursorLine(line);
        QCOMPARE(view->cursorLine(), line);
        QVERIFY(view->cursorPosition());
        QVERIFY(view->shows(*view->cursorPosition()));
        QCOMPARE(view->span(), span);
        // A step within the view leaves the view where it is.
        const double from = view->from();
        view->setCursorLine(line + 1);
        QCOMPARE(view->from(), from);
    }
};

QTEST_GUILESS_MAIN(TestTimelineView)
#include "tst_timelineview.moc"
