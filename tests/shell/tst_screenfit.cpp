// Every window opens within its screen's available area at the scales and screen sizes
// of technicians' laptops, and a window whose fixed layout does not fit scrolls it so
// that each control can be brought into view.
#include "core/logindex.h"
#include "replay/timelinewindow.h"
#include "screens.h"
#include "shell/application.h"
#include "testlogs.h"
#include "widgets/screenfit.h"

#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

// Where each control was laid out, seen as its window is about to open and before the
// program keeps it on screen (the filter installed last sees events first).
// And the order in which Tab goes through its controls, from the window on.
struct LaidOut : QObject {
    QHash<const QWidget*, QRect> at;
    QHash<const QWidget*, QList<QWidget*>> tabOrder;
    static QList<QWidget*> tabOrderOf(QWidget* window)
    {
        QList<QWidget*> order;
        for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                order << w;
        return order;
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* window = qobject_cast<QWidget*>(o);
        if (e->type() != QEvent::Show || !window || !window->isWindow())
            return false;
        for (const QWidget* c : window->findChildren<QWidget*>())
            at.insert(c, c->geometry());
        tabOrder.insert(window, tabOrderOf(window));
        return false;
    }
    // Scrolls the control into view as the focus would, and says whether what its client
    // area showed as laid out (a line may run past the client's edge; what a layout has
    // placed, as it is now) shows, or all a viewport holds of it. Parts of a control that
    // scrolls itself (a list's header, the timeline's signal rows) are that control's.
    bool reachable(QWidget* c, QWidget* window) const
    {
        QWidget* parent = c->parentWidget();
        for (QWidget* w = parent; w != window; w = w->parentWidget()) {
            auto* area = qobject_cast<QScrollArea*>(w);
            if (area && area->widget() && area->widget()->isAncestorOf(c))
                area->ensureWidgetVisible(c, 0, 0);
            else if (qobject_cast<QAbstractScrollArea*>(w) ||
                     w->findChild<QScrollBar*>(QString(), Qt::FindDirectChildrenOnly))
                return true;
        }
        const bool placed = parent != window && at.contains(parent) && !parent->layout() &&
                            at[c].size() == c->size();
        QRect seen = placed ? at[c] & QRect(QPoint(), at[parent].size()) : c->geometry();
        QSize room = seen.size();
        for (const QWidget* w = parent;; w = w->parentWidget()) {
            seen &= w->rect();
            if (qobject_cast<const QScrollArea*>(w->parentWidget())) // a viewport
                room = room.boundedTo(w->size());
            if (w == window)
                break;
            seen.translate(w->pos());
        }
        return seen.size() == room;
    }
};

class TestScreenFit : public QObject, WindowsFixture
{
    Q_OBJECT
    LaidOut laidOut;
private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        setUpApplication();
        qApp->installEventFilter(&laidOut);
    }
    void init() { openWindows(); }
    void cleanup() { closeWindows(); }

    // On the screen the test is given: the run below gives it each screen in turn.
    void everyWindowFitsThisScreen()
    {
        showEveryWindow();
        QTemporaryDir dir;
        const auto index = buildLogIndex(writeLog(dir.path(), 27, 400, true));
        QVERIFY2(index, qPrintable(index.why()));
        (new TimelineWindow(*index, windows->replayScreen()))->show();
        QCOMPARE(shownWindows().size(), 7);
        for (QWidget* window : shownWindows()) {
            QVERIFY2(availableArea(window).contains(window->frameGeometry()),
                     qPrintable(window->objectName()));
            QCOMPARE(LaidOut::tabOrderOf(window), laidOut.tabOrder.value(window));
            for (QWidget* c : window->findChildren<QWidget*>())
                if (c->isVisible() && c->window() == window && laidOut.at.contains(c))
                    QVERIFY2(laidOut.reachable(c, window),
                             qPrintable(window->objectName() + u' ' + c->objectName()));
        }
    }

    void overScalesAndScreens_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<QString>("screen");
        for (const char* scale : {"1", "1.5", "2"})
            for (const char* screen : {"1366x768", "1600x1000"})
                QTest::addRow("%s at %s", screen, scale) << scale << screen;
    }
    void overScalesAndScreens()
    {
        QFETCH(QString, scale);
        QFETCH(QString, screen);
        // The toolkit takes the scale as it starts: a run of the test of its own, which
        // takes this environment.
        qputenv("QT_SCALE_FACTOR", scale.toLatin1());
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + qgetenv("VANTREL_TEST_DATA") +
                                       "/screens/" + screen.toLatin1() + ".json");
        QProcess run;
        run.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("everyWindowFitsThisScreen")});
        QVERIFY(run.waitForFinished(120000));
        const QByteArray said = run.readAllStandardOutput();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 said.mid(said.indexOf("FAIL!")).left(300).constData());
    }
};

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
