// Every window opens within its screen's available area at the scales and screen sizes
// a technician's laptop has, and where a window's fixed layout does not fit, its scroll
// area brings each control into view.
#include "core/logindex.h"
#include "replay/timelinewindow.h"
#include "screens.h"
#include "shell/application.h"
#include "testlogs.h"
#include "widgets/screenfit.h"

#include <QFile>
#include <QProcess>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// Whether the control is part of another control (a scroll bar, a list's header) rather
// than a control of the window's own layout.
bool partOfAControl(const QWidget* control, const QWidget* window)
{
    for (const QWidget* w = control->parentWidget(); w && w != window; w = w->parentWidget()) {
        const auto* area = qobject_cast<const QScrollArea*>(w);
        if (qobject_cast<const QAbstractScrollArea*>(w) &&
            !(area && area->widget() && area->widget()->isAncestorOf(control)))
            return true;
    }
    return false;
}

// Scrolls the control into view, as the keyboard focus would, and says what of it is
// still cut off by its window or a scroll area (nothing when all of it can be seen, or
// all a viewport holds of a control larger than it).
QString cutOff(QWidget* control, QWidget* window)
{
    for (QWidget* w = control->parentWidget(); w != window; w = w->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(w))
            area->ensureWidgetVisible(control, 0, 0);
    // What of it its own client area shows (a line may run on past the client's edge).
    const QWidget* parent = control->parentWidget();
    QRect seen = parent == window ? control->geometry() : control->geometry() & parent->rect();
    QSize room = seen.size();
    for (const QWidget* w = parent; w != window; w = w->parentWidget()) {
        seen = seen.translated(w->pos()) & w->parentWidget()->rect();
        room = room.boundedTo(w->parentWidget()->size());
    }
    if (seen.size() == room)
        return {};
    return QStringLiteral("%1 in %2 shows %3 x %4 of %5 x %6")
        .arg(control->objectName(), window->objectName())
        .arg(seen.width())
        .arg(seen.height())
        .arg(control->width())
        .arg(control->height());
}

QString rectText(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
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
        auto* timeline = new TimelineWindow(*index, windows->replayScreen());
        timeline->show();

        const QList<QWidget*> shown = shownWindows();
        QCOMPARE(shown.size(), 7);
        for (QWidget* window : shown) {
            const QRect area = availableArea(window);
            QVERIFY2(area.contains(window->frameGeometry()),
                     qPrintable(QStringLiteral("%1 at %2 on %3")
                                    .arg(window->objectName(), rectText(window->frameGeometry()),
                                         rectText(area))));
            for (QWidget* control : window->findChildren<QWidget*>()) {
                if (!control->isVisible() || control->window() != window ||
                    partOfAControl(control, window))
                    continue;
                const QString cut = cutOff(control, window);
                QVERIFY2(cut.isEmpty(), qPrintable(cut));
            }
        }
    }

    void overScalesAndScreens_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        for (const char* scale : {"1", "1.5", "2"})
            for (const QSize screen : {QSize(1366, 768), QSize(1600, 1000)})
                QTest::addRow("%dx%d at %s", screen.width(), screen.height(), scale)
                    << QString::fromLatin1(scale) << screen.width() << screen.height();
    }
    void overScalesAndScreens()
    {
        QFETCH(QString, scale);
        QFETCH(int, width);
        QFETCH(int, height);
        // The scale is the toolkit's from its start on: a run of the test of its own.
        QTemporaryDir dir;
        QFile config(dir.filePath(QStringLiteral("screen.json")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, )"
                                    R"("width": %1, "height": %2, "logicalDpi": 96}]})")
                         .arg(width)
                         .arg(height)
                         .toUtf8());
        config.close();
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                   QStringLiteral("offscreen:configfile=") + config.fileName());
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("everyWindowFitsThisScreen")});
        QVERIFY(run.waitForFinished(120000));
        // What failed there, without the toolkit's notes.
        QByteArray failed;
        for (const QByteArray& line : run.readAll().split('\n'))
            if (line.startsWith("FAIL!"))
                failed += line.mid(line.indexOf('(')) + ' ';
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 failed.constData());
    }
};

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
