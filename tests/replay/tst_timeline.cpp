// The timeline window over generated logs: a click chooses the line at that place on
// the axis (a fault marker or a fault's row its fault), the wheel, a drag and the keys
// move the view, the cursor follows the replay without choosing, the chosen signals are
// remembered between runs, find hits are marked on the axis, and the lanes and the
// cursor read as words to assistive technology.
#include "core/logindex.h"
#include "core/notes.h"
#include "core/signalnames.h"
#include "replay/timelineticks.h"
#include "replay/timelinewindow.h"
#include "shell/application.h"
#include "testfiles.h"
#include "testlogs.h"

#include <QAccessible>
#include <QDateTime>
#include <QHelpEvent>
#include <QImage>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
constexpr double kSqrt2 = 1.4142135623730951;

// The log's lines' times, and whether the line chosen for a place is the last whose
// time is at or before it.
bool lastLineAtOrBefore(const LogIndex& index, qint64 line, double position)
{
    const auto timeOf = [&](qint64 l) { return double(**index.lineTime(l)); };
    const bool atOrBefore = line == 1 || timeOf(line) <= position;
    const bool nextIsAfter = line == index.lines() || timeOf(line + 1) > position;
    return atOrBefore && nextIsAfter;
}

// The wheel turned over a lane: the lanes' holder takes it (the toolkit hands a wheel
// from the screen on to the parents, but not one sent by a program).
void wheel(QWidget* lane, QPointF where, QPoint angle, Qt::KeyboardModifiers modifiers = {})
{
    QWidget* lanes = lane->parentWidget();
    const QPointF at = lane->mapTo(lanes, where);
    QWheelEvent e(at, lanes->mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(lanes, &e);
}
} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::shared_ptr<const LogIndex> index;
    std::unique_ptr<TimelineWindow> w;

    // The window over a generated log, shown; false (and the test failed) otherwise.
    bool open(bool timed, quint32 seed = 5)
    {
        w.reset();
        const auto built = buildLogIndex(writeLog(dir.path(), seed, 3000, timed));
        if (!built) {
            QTest::qFail(qPrintable(built.why()), __FILE__, __LINE__);
            return false;
        }
        index = *built;
        w = std::make_unique<TimelineWindow>(index);
        w->setFont(windowFont());
        w->show();
        return QTest::qWaitForWindowExposed(w.get());
    }
    QWidget* lane(const QString& name) const { return w->findChild<QWidget*>(name); }
    double whole() const { return double(index->timeline().end() - index->timeline().start()); }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        setUpApplication();
    }
    void init() { QSettings().remove(QLatin1String(TimelineWindow::kSignalsKey)); }
    void cleanup()
    {
        w.reset();
        index.reset();
    }

    void opensOnTheWholeLog_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<QString>("axis");
        QTest::newRow("along capture times") << true << "Time axis";
        QTest::newRow("along lines, where the log has no times") << false << "Line axis";
    }
    void opensOnTheWholeLog()
    {
        QFETCH(bool, timed);
        QFETCH(QString, axis);
        QVERIFY(open(timed));
        QCOMPARE(w->objectName(), QStringLiteral("Timeline"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Timeline - capture.log"));
        QCOMPARE(w->viewFrom(), double(index->timeline().start()));
        QCOMPARE(w->viewSpan(), whole());
        QCOMPARE(lane(QStringLiteral("AxisLane"))->accessibleName(), axis);
        QCOMPARE(w->cursorLine(), qint64(0));
        QVERIFY(!w->ticks().isEmpty());
    }

    void aClickChoosesTheLastLineAtOrBeforeItsPlace_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<QString>("lane");
        QTest::addColumn<double>("across"); // fraction of the lane's width
        for (bool timed : {true, false}) {
            const char* axis = timed ? "times" : "lines";
            QTest::addRow("speed lane near its left, along %s", axis)
                << timed << "SpeedLane" << 0.03;
            QTest::addRow("a signal lane in the middle, along %s", axis)
                << timed << "Signal_DOLLane" << 0.5;
            QTest::addRow("the axis near its right, along %s", axis) << timed << "AxisLane" << 0.97;
        }
    }
    void aClickChoosesTheLastLineAtOrBeforeItsPlace()
    {
        QFETCH(bool, timed);
        QFETCH(QString, lane);
        QFETCH(double, across);
        QVERIFY(open(timed));
        w->setView(index->timeline().start() + whole() / 3, whole() / 7);
        const QSignalSpy chosen(w.get(), &TimelineWindow::lineChosen);
        QVERIFY(chosen.isValid());
        QWidget* target = this->lane(lane);
        QVERIFY(target);
        const int x = int(across * target->width());
        // Taken before the click: a line chosen left of the view brings the view to it.
        const double position = w->viewFrom() + x * w->viewSpan() / w->laneWidth();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(x, target->height() / 2));
        QCOMPARE(chosen.count(), 1);
        const qint64 line = chosen.at(0).at(0).toLongLong();
        if (timed)
            QVERIFY2(lastLineAtOrBefore(*index, line, position), qPrintable(QString::number(line)));
        else
            QCOMPARE(line, qint64(std::floor(position)));
        QCOMPARE(w->cursorLine(), line);
        QVERIFY(w->cursorText().contains(QStringLiteral("line ") + timelineLine(line) + u':'));
    }

    void aClickOnAFaultChoosesItsLine_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<bool>("fromTheList");
        QTest::newRow("a marker, along times") << true << false;
        QTest::newRow("a marker, along lines") << false << false;
        QTest::newRow("a row of the list") << true << true;
    }
    void aClickOnAFaultChoosesItsLine()
    {
        QFETCH(bool, timed);
        QFETCH(bool, fromTheList);
        QVERIFY(open(timed));
        const TimelineSeries& faults = index->timeline().faults();
        QVERIFY(faults.size() > 10);
        // A fault alone at its place, so its marker is its own.
        qsizetype f = faults.size() / 2;
        while (f + 1 < faults.size() && (faults.position(f - 1) == faults.position(f) ||
                                         faults.position(f + 1) == faults.position(f)))
            ++f;
        const qint64 want = index->place(LogIndex::Event::NewFault, faults.value(f)).line;
        QVERIFY(want != 1);
        const QSignalSpy chosen(w.get(), &TimelineWindow::lineChosen);
        QVERIFY(chosen.isValid());
        if (fromTheList) {
            auto* list = w->findChild<QListView*>(QStringLiteral("FaultList"));
            QVERIFY(list);
            list->scrollTo(list->model()->index(int(f), 0));
            const QRect row = list->visualRect(list->model()->index(int(f), 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        } else {
            const double at = double(faults.position(f));
            w->setView(at - 1.5,
                       timed ? TimelineWindow::kMinSpanMs : TimelineWindow::kMinSpanLines);
            QWidget* faultLane = lane(QStringLiteral("FaultLane"));
            const int x = int(std::lround(w->xAt(at))) + 2; // near it, not on it
            QTest::mouseClick(faultLane, Qt::LeftButton, {}, QPoint(x, faultLane->height() / 2));
        }
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).toLongLong(), want);
        QVERIFY(
            w->cursorText().contains(index->faultText(LogIndex::Event::NewFault, faults.value(f))));
    }

    // What was sent beside the log is a lane: a piece is a mark whose tip says what it
    // was, a run of polls a band whose tip counts them.
    void sentPiecesAreMarkedWithTheirText_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::newRow("along times") << true;
        QTest::newRow("along lines") << false;
    }
    void sentPiecesAreMarkedWithTheirText()
    {
        QFETCH(bool, timed);
        for (const QString& left : QDir(dir.path()).entryList({QStringLiteral("*.sent")}))
            QFile::remove(dir.filePath(left));
        QVERIFY(open(timed));
        QVERIFY(!lane(QStringLiteral("SentLane")));
        const auto placeOf = [&](qint64 line) {
            const qint64 offset = *index->lineOffset(line);
            const std::optional<qint64> ms = *index->lineTime(line);
            return QByteArray::number(offset) + ' ' + QByteArray::number(ms ? *ms : 0);
        };
        writeFile(index->path() + QStringLiteral(".sent"),
                  "vantrel sent 1\nopen 0 0\nbutton " + placeOf(100) + " stu\\x0d\npolls " +
                      placeOf(1000) + " 40 " + placeOf(2000) + " pmii\\x0d\n");
        QVERIFY(saveNotes(index->path(),
                          {{*index->lineOffset(500), std::nullopt, QStringLiteral("noise")}})
                    .ok());
        w = std::make_unique<TimelineWindow>(index);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QWidget* sentLane = lane(QStringLiteral("SentLane"));
        QVERIFY(sentLane);
        const auto positionOf = [&](qint64 line) {
            return timed ? double(**index->lineTime(line)) : double(line);
        };
        w->setView(positionOf(90), positionOf(2100) - positionOf(90));
        const auto tipAt = [&](qint64 line) {
            const double at = positionOf(line);
            const QPoint x(int(std::lround(w->xAt(at))), sentLane->height() / 2);
            QHelpEvent help(QEvent::ToolTip, x, sentLane->mapToGlobal(x));
            QCoreApplication::sendEvent(sentLane, &help);
            return QToolTip::text();
        };
        QVERIFY2(tipAt(100).startsWith(QStringLiteral("button stu\\x0d: ")),
                 qPrintable(tipAt(100)));
        QCOMPARE(tipAt(1500), QStringLiteral("40 polls: poll pmii\\x0d"));
        QVERIFY2(tipAt(500).startsWith(QStringLiteral("note noise: ")), qPrintable(tipAt(500)));
        // Read out, the lane lists its marks in order, the polls counted.
        const QString read =
            QAccessible::queryAccessibleInterface(sentLane)->text(QAccessible::Name);
        QVERIFY2(QRegularExpression(QStringLiteral("Sent lane: 1 sent, 40 polls, 1 notes; button "
                                                   "stu\\\\x0d at .*line \\d+; note noise at .*"))
                     .match(read)
                     .hasMatch(),
                 qPrintable(read));
        QFile::remove(index->path() + QStringLiteral(".sent"));
        QFile::remove(index->path() + QStringLiteral(".notes"));
    }

    void theViewMoves_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<double>("shift");  // of the view's start, in views
        QTest::addColumn<double>("factor"); // of its span
        const double pointer = 0.25;        // where the wheel turns, across the lanes
        QTest::newRow("wheel up: closer around the pointer")
            << "wheel up" << pointer * (1 - 1 / kSqrt2) << 1 / kSqrt2;
        QTest::newRow("wheel down: further around the pointer")
            << "wheel down" << pointer * (1 - kSqrt2) << kSqrt2;
        QTest::newRow("Shift and the wheel: along") << "shift wheel down" << 0.125 << 1.0;
        QTest::newRow("a drag: the view with the pointer") << "drag left 100" << 100.0 << 1.0;
        QTest::newRow("plus: twice as close around the middle") << "+" << 0.25 << 0.5;
        QTest::newRow("minus: twice as far around the middle") << "-" << -0.5 << 2.0;
        QTest::newRow("right arrow: an eighth along") << "right" << 0.125 << 1.0;
        QTest::newRow("left arrow: an eighth back") << "left" << -0.125 << 1.0;
        QTest::newRow("Home: the log's start") << "home" << -4.0 << 1.0;
        QTest::newRow("End: the log's end") << "end" << 5.0 << 1.0;
        QTest::newRow("0: the whole log") << "0" << -4.0 << 10.0;
    }
    void theViewMoves()
    {
        QFETCH(QString, action);
        QFETCH(double, shift);
        QFETCH(double, factor);
        QVERIFY(open(true));
        const double from = index->timeline().start() + 0.4 * whole();
        const double span = 0.1 * whole();
        w->setView(from, span);
        const QSignalSpy chosen(w.get(), &TimelineWindow::lineChosen);
        QVERIFY(chosen.isValid());
        QWidget* speed = lane(QStringLiteral("SpeedLane"));
        QWidget* lanes = lane(QStringLiteral("Lanes"));
        const QPointF pointer(0.25 * speed->width(), speed->height() / 2.0);
        if (action == u"wheel up" || action == u"wheel down") {
            wheel(speed, pointer, QPoint(0, action == u"wheel up" ? 120 : -120));
        } else if (action == u"shift wheel down") {
            wheel(speed, pointer, QPoint(0, -120), Qt::ShiftModifier);
        } else if (action == u"drag left 100") {
            const QPoint start(500, speed->height() / 2);
            QTest::mousePress(speed, Qt::LeftButton, {}, start);
            QTest::mouseMove(speed, start - QPoint(50, 0));
            QTest::mouseMove(speed, start - QPoint(100, 0));
            QTest::mouseRelease(speed, Qt::LeftButton, {}, start - QPoint(100, 0));
            shift = 100.0 / w->laneWidth();
        } else {
            const QHash<QString, int> keys{{"+", Qt::Key_Plus},      {"-", Qt::Key_Minus},
                                           {"right", Qt::Key_Right}, {"left", Qt::Key_Left},
                                           {"home", Qt::Key_Home},   {"end", Qt::Key_End},
                                           {"0", Qt::Key_0}};
            QTest::keyClick(lanes, Qt::Key(keys.value(action)));
        }
        const double tolerance = 1e-9 * whole();
        QVERIFY2(std::abs(w->viewFrom() - (from + shift * span)) < tolerance,
                 qPrintable(QString::number((w->viewFrom() - from) / span)));
        QVERIFY2(std::abs(w->viewSpan() - factor * span) < tolerance,
                 qPrintable(QString::number(w->viewSpan() / span)));
        QCOMPARE(chosen.count(), 0);
    }

    void theCursorFollowsTheReplayWithoutChoosing_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::newRow("along times") << true;
        QTest::newRow("along lines") << false;
    }
    void theCursorFollowsTheReplayWithoutChoosing()
    {
        QFETCH(bool, timed);
        QVERIFY(open(timed));
        const QSignalSpy chosen(w.get(), &TimelineWindow::lineChosen);
        QVERIFY(chosen.isValid());
        w->setView(index->timeline().start(), whole() / 50);
        const qint64 line = index->lines() * 4 / 5;
        w->setCursorLine(line);
        QCOMPARE(w->cursorLine(), line);
        QVERIFY(w->cursorPosition());
        QVERIFY(*w->cursorPosition() >= w->viewFrom());
        QVERIFY(*w->cursorPosition() < w->viewFrom() + w->viewSpan());
        QCOMPARE(chosen.count(), 0);
    }

    void theCursorReadsTheValuesAfterItsLine_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<double>("at"); // fraction of the lines
        QTest::newRow("along times, early") << true << 0.1;
        QTest::newRow("along times, late") << true << 0.9;
        QTest::newRow("along lines") << false << 0.5;
    }
    void theCursorReadsTheValuesAfterItsLine()
    {
        QFETCH(bool, timed);
        QFETCH(double, at);
        QVERIFY(open(timed));
        w->setShownSignals({QStringLiteral("DOL"), QStringLiteral("SM"), QStringLiteral("c5r3")});
        const qint64 line = index->lineAtFraction(at);
        w->setCursorLine(line);
        const auto speed = index->previous(LogIndex::Event::Speed, line + 1);
        const auto dump = index->previous(LogIndex::Event::Dump, line + 1);
        const auto fault = index->previous(LogIndex::Event::NewFault, line + 1);
        QVERIFY(speed && dump && fault);
        const auto cells = index->dumpCells(*dump);
        QStringList values{QStringLiteral("speed ") + index->speedText(*speed).trimmed(),
                           QStringLiteral("landing ") +
                               TimelineSummary::landingName(TimelineSummary::landingCode(cells)),
                           QStringLiteral("fault ") +
                               index->faultText(LogIndex::Event::NewFault, *fault)};
        for (const QString& name : w->shownSignals()) {
            int cell = 0;
            while (signalName(cell) != name)
                ++cell;
            const QString v = cells[size_t(cell)].trimmed();
            values << name + u' ' + (v.isEmpty() ? QStringLiteral("none") : v);
        }
        QString where = QStringLiteral("line ") + timelineLine(line);
        const TimelineSummary& s = index->timeline();
        const bool dates = QDateTime::fromMSecsSinceEpoch(s.start()).date() !=
                           QDateTime::fromMSecsSinceEpoch(s.end() - 1).date();
        if (timed)
            where.prepend(timelineTime(**index->lineTime(line), dates, 3) + u' ');
        const QString text = where + QStringLiteral(": ") + values.join(QStringLiteral(", "));
        QCOMPARE(w->cursorText(), text);
        auto* readout = w->findChild<QWidget*>(QStringLiteral("Cursor"));
        QVERIFY(readout);
        QCOMPARE(QAccessible::queryAccessibleInterface(readout)->text(QAccessible::Name),
                 QStringLiteral("Cursor: ") + text);
    }

    void theSignalChoiceIsRemembered_data()
    {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("nothing chosen yet: the doors and the safety circuit")
            << QStringList() << TimelineWindow::defaultSignals();
        QTest::newRow("a choice of the grid's names")
            << QStringList{"SM", "DOL", "c5r3"} << QStringList{"SM", "DOL", "c5r3"};
        QTest::newRow("names the grid lacks and twice-chosen ones left out")
            << QStringList{"DOL", "SAFETY", "DOL", "c9r9"} << QStringList{"DOL"};
        QTest::newRow("no signals at all") << QStringList{"none"} << QStringList();
    }
    void theSignalChoiceIsRemembered()
    {
        QFETCH(QStringList, chosen);
        QFETCH(QStringList, shown);
        QVERIFY(open(false));
        if (!chosen.isEmpty())
            w->setShownSignals(chosen == QStringList{"none"} ? QStringList() : chosen);
        QCOMPARE(w->shownSignals(), shown);
        for (const QString& name : shown)
            QVERIFY2(lane(QStringLiteral("Signal_") + name + QStringLiteral("Lane")),
                     qPrintable(name));
        // The next run shows the same.
        QVERIFY(open(false));
        QCOMPARE(w->shownSignals(), shown);
    }

    void theSignalMenuAddsAndTakesAway()
    {
        QVERIFY(open(true));
        auto* menu = w->findChild<QMenu*>(QStringLiteral("SignalMenu"));
        QVERIFY(menu);
        QAction* sm = nullptr;
        QAction* dol = nullptr;
        for (QAction* a : menu->findChildren<QAction*>()) {
            if (a->text() == u"SM")
                sm = a;
            if (a->text() == u"DOL")
                dol = a;
        }
        QVERIFY(sm && dol);
        QVERIFY(!sm->isChecked());
        QVERIFY(dol->isChecked());
        sm->trigger();
        dol->trigger();
        QStringList want = TimelineWindow::defaultSignals();
        want.removeAll(QStringLiteral("DOL"));
        want << QStringLiteral("SM");
        QCOMPARE(w->shownSignals(), want);
        QVERIFY(lane(QStringLiteral("Signal_SMLane")));
        QVERIFY(!lane(QStringLiteral("Signal_DOLLane")));
        QCOMPARE(QSettings().value(QLatin1String(TimelineWindow::kSignalsKey)).toStringList(),
                 want);
    }

    // No label reaches the next at any span, nor is a view ever given ticks without end.
    void axisLabelsNeverOverlap_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("span");
        const double y2026 = 1767225600000;
        QTest::newRow("thirty years") << y2026 - 946e9 << 946e9;
        QTest::newRow("a clock set to 1970 and back") << 0.0 << y2026;
        QTest::newRow("a second near 1e18") << 9e17 << 1000.0;
    }
    void axisLabelsNeverOverlap()
    {
        QFETCH(double, from);
        QFETCH(double, span);
        int asked = 0;
        const auto textWidth = [&](const QString& text) {
            if (++asked > 100000)
                throw asked; // ticks without end: the test fails
            return 7 * int(text.size());
        };
        const QList<AxisTick> ticks =
            axisTicks({TimelineSummary::Unit::Milliseconds, true}, from, span, 1000, textWidth);
        for (qsizetype i = 0; i + 1 < ticks.size(); ++i)
            QVERIFY(ticks[i].x + 7 * ticks[i].label.size() <= ticks[i + 1].x);
    }

    void findHitsAreMarkedOnTheAxis_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::newRow("along times") << true;
        QTest::newRow("along lines") << false;
    }
    void findHitsAreMarkedOnTheAxis()
    {
        QFETCH(bool, timed);
        QVERIFY(open(timed));
        QWidget* axis = lane(QStringLiteral("AxisLane"));
        const auto orangeNear = [&](double x) {
            const QImage image = axis->grab().toImage();
            const int y = image.height() - 3; // the marks sit on the axis's bottom edge
            for (int dx = -2; dx <= 2; ++dx) {
                const int at = int(std::lround(x)) + dx;
                if (at >= 0 && at < image.width() && image.pixelColor(at, y) == QColor(0xE69F00))
                    return true;
            }
            return false;
        };
        std::vector<SearchHit> hits;
        for (qint64 line : {index->lines() / 5, index->lines() / 2, index->lines() * 9 / 10})
            hits.push_back({*index->lineOffset(line), line});
        const auto xOf = [&](const SearchHit& h) {
            return w->xAt(timed ? double(**index->lineTime(h.line)) : double(h.line));
        };
        QVERIFY(!orangeNear(xOf(hits[1])));
        w->setFindHits(hits);
        for (const SearchHit& h : hits)
            QVERIFY2(orangeNear(xOf(h)), qPrintable(QString::number(h.line)));
        w->setFindHits({});
        QVERIFY(!orangeNear(xOf(hits[1])));
    }

    void everyPartHasANameOfItsOwn()
    {
        QVERIFY(open(true));
        const QHash<QString, QString> lanes{{"AxisLane", "Time axis"},
                                            {"SpeedLane", "Speed lane"},
                                            {"LandingLane", "Landing lane"},
                                            {"FaultLane", "Fault lane"},
                                            {"Signal_DOLLane", "DOL signal lane"},
                                            {"Signal_ICSLane", "ICS signal lane"},
                                            {"FaultList", "New faults"}};
        for (auto it = lanes.begin(); it != lanes.end(); ++it) {
            QWidget* part = lane(it.key());
            QVERIFY2(part, qPrintable(it.key()));
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(part);
            QCOMPARE(a->text(QAccessible::Name), it.value());
            QCOMPARE(a->text(QAccessible::Description), it.key());
        }
        // No two named parts read the same.
        QSet<QString> seen;
        for (QWidget* part : w->findChildren<QWidget*>()) {
            if (part->objectName().isEmpty() || part->objectName().startsWith(u"qt_"))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(part);
            const QString name = a->text(QAccessible::Name);
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(part->objectName()));
            QVERIFY2(!seen.contains(name), qPrintable(name));
            seen.insert(name);
        }
    }
};

QTEST_MAIN(TestTimeline)
#include "tst_timeline.moc"
