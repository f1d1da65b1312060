// Every window opens within its screen's available area at the scales and screen sizes
// of technicians' laptops, and where a window's fixed layout does not fit, its scroll
// area brings each control into view.
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

namespace
{
// The controls' places as their windows are about to open, at the size they were laid
// out at (watched before the windows are kept on screen: the last filter comes first).
struct Designs : QObject {
    QHash<const QWidget*, QRect> places;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* window = qobject_cast<QWidget*>(o);
        if (e->type() == QEvent::Show && window && window->isWindow())
            for (const QWidget* c : window->findChildren<QWidget*>())
                places.insert(c, c->geometry());
        return false;
    }
    // What of the control is meant to show: all of it, or what its client area showed
    // as laid out (a line may run past the client's edge); of a control a layout has
    // placed or resized since, what its parent shows now.
    QRect shown(const QWidget* c, const QWidget* window) const
    {
        const QRect place = places.value(c);
        const QWidget* parent = c->parentWidget();
        if (parent == window || !places.contains(parent))
            return c->geometry(); // placed on the window itself
        if (parent->layout() || place.size() != c->size())
            return c->geometry() & parent->rect();
        return place & QRect(QPoint(), places.value(parent).size());
    }
};

// Scrolls the control into view, as the keyboard focus would, and says what of what it
// showed as designed is then cut off by its window or a viewport (nothing when all of
// it shows, or all a viewport holds). Nothing for the parts of another control that
// scrolls (a list's header, a text box's scroll bar, the timeline's signal rows).
QString cutOff(QWidget* control, QWidget* window, QRect seen)
{
    QSize room = seen.size();
    for (QWidget* w = control->parentWidget(); w != window; w = w->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(w);
        if (area && area->widget() && area->widget()->isAncestorOf(control))
            area->ensureWidgetVisible(control, 0, 0);
        else if (qobject_cast<QAbstractScrollArea*>(w) ||
                 w->findChild<QScrollBar*>(QString(), Qt::FindDirectChildrenOnly))
            return {};
    }
    for (const QWidget* w = control->parentWidget(); w != window; w = w->parentWidget()) {
        seen = seen.translated(w->pos()) & w->parentWidget()->rect();
        room = room.boundedTo(w->parentWidget()->size());
    }
    return seen.size() == room ? QString()
                               : QStringLiteral("%1 in %2 shows %3 x %4")
                                     .arg(control->objectName(), window->objectName())
                                     .arg(seen.width())
                                     .arg(seen.height());
}
} // namespace

class TestScreenFit : public QObject, WindowsFixture
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        setUpApplication();
        qApp->installEventFilter(&designs);
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
        const QList<QWidget*> shown = shownWindows();
        QCOMPARE(shown.size(), 7);
        for (QWidget* window : shown) {
            QVERIFY2(availableArea(window).contains(window->frameGeometry()),
                     qPrintable(window->objectName()));
            for (QWidget* control : window->findChildren<QWidget*>()) {
                if (!control->isVisible() || control->window() != window ||
                    !designs.places.contains(control))
                    continue;
                const QString cut = cutOff(control, window, designs.shown(control, window));
                QVERIFY2(cut.isEmpty(), qPrintable(cut));
            }
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
        // The toolkit takes the scale as it starts: a run of the test of its own.
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                   QStringLiteral("offscreen:configfile=%1/screens/%2.json")
                       .arg(qEnvironmentVariable("VANTREL_TEST_DATA"), screen));
        run.setProcessEnvironment(env);
        run.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("everyWindowFitsThisScreen")});
        QVERIFY(run.waitForFinished(120000));
        const QByteArray said = run.readAllStandardOutput();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 said.mid(said.indexOf("FAIL!")).left(300).constData());
    }

private:
    Designs designs;
};

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
