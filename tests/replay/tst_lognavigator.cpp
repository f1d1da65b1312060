// Finding the moment on the replay screen: the foot's "Go to" box, the next and
// previous dump, fault and arrival, the find bar, and the signals' export.
#include "core/logindex.h"
#include "core/pmidump.h"
#include "core/sentlog.h"
#include "fakes.h"
#include "replay/lognavigator.h"
#include "replay/logreplay.h"
#include "replay/noteswindow.h"
#include "replay/timelinewindow.h"
#include "screens.h"
#include "shell/windows.h"
#include "testfiles.h"
#include "testlogs.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
constexpr qint64 kStartMs = 1796637600000; // 2026-12-08 around 22:00 local, any zone
constexpr qint64 kMsPerLine = 1000;

// A log of a few hundred lines, each a second after the one before, with its times.
QByteArray writeTimedLog(const QString& path)
{
    const QByteArray log = randomLog(7, 400);
    writeFile(path, log);
    QByteArray times = "vantrel capture times 1\nopen 0 " + QByteArray::number(kStartMs) + '\n';
    const QList<ReadLine> lines = replayLines(log);
    for (int i = 0; i < lines.size(); ++i)
        times += QByteArray::number(lines[i].offset) + ' ' +
                 QByteArray::number(kStartMs + i * kMsPerLine) + '\n';
    times += "close " + QByteArray::number(log.size()) + ' ' +
             QByteArray::number(kStartMs + lines.size() * kMsPerLine) + '\n';
    writeFile(path + QStringLiteral(".times"), times);
    return log;
}
} // namespace

class TestLogNavigator : public QObject, public ReplayFixture
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path;

    LogNavigator& nav() { return r->navigator(); }
    const LogIndex& index() { return *nav().index(); }

    void load(bool withTimes = true)
    {
        path = dir.filePath(withTimes ? QStringLiteral("timed.log") : QStringLiteral("plain.log"));
        if (withTimes)
            writeTimedLog(path);
        else
            writeFile(path, randomLog(8, 400));
        w->dialogScript->push_back(path);
        r->MRplayLog->trigger();
        r->Option4->click(); // paused: only what the test asks for moves
        QTRY_VERIFY_WITH_TIMEOUT(nav().index(), 10000);
    }
    void typeGoTo(const QString& text)
    {
        r->GoToText->setText(text);
        QTest::keyClick(r->GoToText, Qt::Key_Return);
    }

private Q_SLOTS:
    void init() { openReplay(); }
    void cleanup() { closeReplay(); }

    void theIndexIsReadyAndSaysWhereTheScreenIs_data()
    {
        QTest::addColumn<bool>("withTimes");
        QTest::addColumn<QString>("position");
        QTest::newRow("with capture times the line's time is shown")
            << true
            << "Line 0 of %1|Line 3 of %1 " +
                   QDateTime::fromMSecsSinceEpoch(kStartMs + 2 * kMsPerLine)
                       .toString(QStringLiteral("HH:mm:ss"));
        QTest::newRow("without them the notice says why")
            << false
            << "plain.log has no capture times: lines are numbered instead|Line 3 of %1, no "
               "capture times";
    }
    void theIndexIsReadyAndSaysWhereTheScreenIs()
    {
        QFETCH(bool, withTimes);
        QFETCH(QString, position);
        QVERIFY(!r->MGoTo->isEnabled());
        load(withTimes);
        QVERIFY(r->MGoTo->isEnabled());
        QVERIFY(!r->IndexProgress->isVisible());
        const QStringList expected = position.arg(QLocale().toString(index().lines())).split(u'|');
        QCOMPARE(r->LogPosition->text(), expected[0]);
        QCOMPARE(r->LogPosition->toolTip().isEmpty(), withTimes);
        for (int i = 0; i < 3; ++i) {
            r->Command1->click();
            QTRY_VERIFY(!r->playback().waiting());
        }
        QCOMPARE(r->LogPosition->text(), expected[1]);
    }

    void theGoToBoxTakesLinesSharesAndTimes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("line");
        QTest::newRow("a line") << "17" << qint64(17);
        QTest::newRow("beyond the last line goes to the last") << "999999" << qint64(-1);
        QTest::newRow("a share") << "50%" << qint64(-2);
        QTest::newRow("a time of day") << QDateTime::fromMSecsSinceEpoch(kStartMs + 99 * kMsPerLine)
                                              .toString(QStringLiteral("HH:mm:ss"))
                                       << qint64(100);
        QTest::newRow("between two lines, the one received by then")
            << QDateTime::fromMSecsSinceEpoch(kStartMs + 99 * kMsPerLine + 500)
                   .toString(QStringLiteral("HH:mm:ss.zzz"))
            << qint64(100);
        QTest::newRow("a time after the log is outside it")
            << QDateTime::fromMSecsSinceEpoch(kStartMs + 3600 * kMsPerLine)
                   .toString(QStringLiteral("HH:mm:ss"))
            << qint64(0);
        QTest::newRow("words go nowhere") << "the fault" << qint64(0);
    }
    void theGoToBoxTakesLinesSharesAndTimes()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, line);
        load();
        if (line == -1)
            line = index().lines();
        if (line == -2)
            line = index().lineAtFraction(0.5);
        typeGoTo(typed);
        QCOMPARE(r->playback().shownLines(), line);
        QCOMPARE(w->boxes.shown.size(), line == 0 ? 1 : 0);
        if (line > 0) { // it plays on from there
            r->Command1->click();
            QTRY_COMPARE(r->playback().shownLines(), line + 1 > index().lines() ? line : line + 1);
        }
    }

    void nextAndPreviousDumpFaultAndArrival_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<qint64>("shift"); // a dump is gone to once it is whole
        QTest::newRow("dumps") << int(LogIndex::Event::Dump) << qint64(8);
        QTest::newRow("faults") << int(LogIndex::Event::NewFault) << qint64(0);
        QTest::newRow("arrivals") << int(LogIndex::Event::Arrival) << qint64(0);
    }
    void nextAndPreviousDumpFaultAndArrival()
    {
        QFETCH(int, kind);
        QFETCH(qint64, shift);
        load();
        const auto event = LogIndex::Event(kind);
        QAction* next = event == LogIndex::Event::Dump       ? r->MNextDump
                        : event == LogIndex::Event::NewFault ? r->MNextFault
                                                             : r->MNextArrival;
        QAction* previous = event == LogIndex::Event::Dump       ? r->MPrevDump
                            : event == LogIndex::Event::NewFault ? r->MPrevFault
                                                                 : r->MPrevArrival;
        QVERIFY(index().count(event) >= 2);
        const auto target = [&](qsizetype i) {
            return qMin(index().place(event, i).line + shift, index().lines());
        };
        next->trigger();
        QCOMPARE(r->playback().shownLines(), target(0));
        next->trigger();
        QCOMPARE(r->playback().shownLines(), target(1));
        previous->trigger();
        QCOMPARE(r->playback().shownLines(), target(0));
        previous->trigger(); // none before the first: it stays
        QCOMPARE(r->playback().shownLines(), target(0));
    }

    void nextAndPreviousSentCommandAndNote_data()
    {
        QTest::addColumn<bool>("notes");
        QTest::newRow("sent commands, polls left out") << false;
        QTest::newRow("notes added while the log is open") << true;
    }
    void nextAndPreviousSentCommandAndNote()
    {
        QFETCH(bool, notes);
        const QString logPath = dir.filePath(QStringLiteral("timed.log"));
        const QList<ReadLine> lines = replayLines(writeTimedLog(logPath));
        const auto at = [&](int line) { return lines[line - 1].offset; };
        const auto tidy = qScopeGuard([&] { // the other tests load this log too
            QFile::remove(logPath + QStringLiteral(".sent"));
            QFile::remove(logPath + QStringLiteral(".notes"));
        });
        if (!notes)
            writeFile(sent::pathFor(logPath),
                      sent::headerLine() + sent::openLine(0, kStartMs) +
                          sent::pieceLine(sent::Source::Button, at(10), kStartMs, "DOB~7") +
                          sent::pollsLine(at(20), kStartMs, 9, at(25), kStartMs, "VEL") +
                          sent::pieceLine(sent::Source::Key, at(30), kStartMs, "x"));
        load();
        QAction* next = notes ? r->MNextNote : r->MNextSent;
        QAction* previous = notes ? r->MPrevNote : r->MPrevSent;
        if (notes) {
            r->MTimeline->trigger(); // open before there is a note: its sent lane comes
            r->MNotes->trigger();
            auto* text = r->notesWindow()->findChild<QLineEdit*>(QStringLiteral("NoteText"));
            for (const qint64 line : {30, 10}) {
                nav().goToLine(line);
                text->setText(QStringLiteral("noise"));
                QTest::keyClick(text, Qt::Key_Return);
            }
            nav().goToLine(0);
            QVERIFY(nav().timeline()->findChild<QWidget*>(QStringLiteral("SentLane")));
        }
        QVERIFY(!previous->isEnabled());
        for (const qint64 line : {10, 30}) {
            next->trigger();
            QCOMPARE(r->playback().shownLines(), line);
        }
        QVERIFY(!next->isEnabled());
        previous->trigger();
        QCOMPARE(r->playback().shownLines(), qint64(10));
        if (notes)
            return;
        // Find looks among the commands too and names the one it went to.
        nav().goToLine(0);
        r->FindText->setText(QStringLiteral("b~7"));
        QTest::keyClick(r->FindText, Qt::Key_Return);
        QTRY_COMPARE(r->FindCount->text(), QStringLiteral("1 hit, 1 sent"));
        QVERIFY(r->playback().shownLines() == 10 &&
                r->LogPosition->text().endsWith(u"; sent: DOB~7"));
    }

    void findGoesFromHitToHit()
    {
        load();
        QSignalSpy found(&nav(), &LogNavigator::hitsFound);
        QVERIFY(found.isValid());
        r->FindText->setText(QStringLiteral("flt0 ="));
        QTest::keyClick(r->FindText, Qt::Key_Return);
        QVERIFY(found.wait(10000));
        const auto lines = found.takeFirst().at(0).value<QList<qint64>>();
        QVERIFY(lines.size() >= 3);
        // Each hit counted, however many share a line.
        QVERIFY2(r->FindCount->text().endsWith(QLatin1String(" hits")),
                 qPrintable(r->FindCount->text()));
        QVERIFY(QLocale().toLongLong(r->FindCount->text().chopped(5)) >= lines.size());
        QCOMPARE(r->playback().shownLines(), lines[0]); // Enter goes to the first
        r->MFindNext->trigger();
        QCOMPARE(r->playback().shownLines(), lines[1]);
        r->MFindPrev->trigger();
        QCOMPARE(r->playback().shownLines(), lines[0]);
        // Past either end it goes round, and says so.
        r->MFindPrev->trigger();
        QCOMPARE(r->playback().shownLines(), lines.last());
        QVERIFY(r->LogPosition->text().endsWith(QLatin1String("back from the last")));
        r->MFindNext->trigger();
        QCOMPARE(r->playback().shownLines(), lines[0]);
        QVERIFY(r->LogPosition->text().endsWith(QLatin1String("on from the first")));
        // Matching case, the controller's capitals are not the text asked for.
        r->FindCase->setChecked(true);
        QTest::keyClick(r->FindText, Qt::Key_Return);
        QVERIFY(found.wait(10000));
        QCOMPARE(r->FindCount->text(), QStringLiteral("0 hits"));
    }

    // F3 finds the box's text as it is now, not as it was when a search began.
    void aChangedTextOrCaseDropsTheSearchUnderWay_data()
    {
        QTest::addColumn<bool>("toggleCase");
        QTest::newRow("the text edited") << false;
        QTest::newRow("the case toggled") << true;
    }
    void aChangedTextOrCaseDropsTheSearchUnderWay()
    {
        QFETCH(bool, toggleCase);
        load();
        QSignalSpy found(&nav(), &LogNavigator::hitsFound);
        r->FindText->setText(QStringLiteral("FLT0 ="));
        QTest::keyClick(r->FindText, Qt::Key_Return);
        if (toggleCase)
            r->FindText->setText(QStringLiteral("flt0 ="));
        toggleCase ? r->FindCase->setChecked(true) : QTest::keyClicks(r->FindText, "=");
        r->MFindNext->trigger();
        QVERIFY(found.wait(10000));
        QCOMPARE(r->FindCount->text(), QStringLiteral("0 hits"));
        QCOMPARE(r->playback().shownLines(), qint64(0));
    }

    void textOutsideLatin1IsRefused()
    {
        load();
        r->FindText->setText(QStringLiteral("\u20ac"));
        QTest::keyClick(r->FindText, Qt::Key_Return);
        QCOMPARE(w->boxes.shown.size(), 1);
        QVERIFY(r->FindCount->text().isEmpty()); // nothing was looked for
    }

    void exportWritesTheSignalsInTheChosenForm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("opening");
        QTest::newRow("a value change dump") << "signals.vcd" << QByteArray("$date");
        QTest::newRow("comma-separated values") << "signals.csv" << QByteArray("time,line,");
    }
    void exportWritesTheSignalsInTheChosenForm()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, opening);
        load();
        w->dialogScript->push_back(dir.filePath(name));
        r->MExportSignals->trigger();
        QCOMPARE(w->boxes.shown.size(), 0);
        QVERIFY2(r->LogPosition->text().contains(QLatin1String("; wrote 76 signals, ")) &&
                     r->LogPosition->text().endsWith(QLatin1String(" to ") + name),
                 qPrintable(r->LogPosition->text()));
        QFile out(dir.filePath(name));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QVERIFY2(out.readAll().startsWith(opening), qPrintable(name));
    }

    // A disk that fills while the export is written: told, and no cut file takes the
    // name of the one written before.
    void exportOntoAFullDiskSaysSoAndKeepsTheOldFile()
    {
        load();
        const QString path = dir.filePath(QStringLiteral("full.csv"));
        w->dialogScript->push_back(path);
        r->MExportSignals->trigger();
        const QByteArray whole = readFile(path);
        w->dialogScript->push_back(path);
        {
            const FileSizeLimit full(whole.size() - 10); // the last flush falls short
            r->MExportSignals->trigger();
        }
        QCOMPARE(w->boxes.shown.size(), 1);
        QVERIFY2(w->boxes.shown[0].text.contains(path), qPrintable(w->boxes.shown[0].text));
        QCOMPARE(readFile(path), whole);
    }

    // The timeline and the screen move together: a moment chosen there is gone to here,
    // and the cursor follows each line the screen shows.
    void theTimelineAndTheReplayMoveTogether()
    {
        load();
        r->MTimeline->trigger();
        TimelineWindow* t = nav().timeline();
        QVERIFY(t);
        QVERIFY(t->isVisible());
        Q_EMIT t->lineChosen(40);
        QCOMPARE(r->playback().shownLines(), qint64(40));
        QCOMPARE(t->cursorLine(), qint64(40));
        r->Command1->click();
        QTRY_COMPARE(t->cursorLine(), qint64(41));
        // Another log, another timeline: the old one shows a log that went.
        load(false);
        QVERIFY(!nav().timeline());
    }

    void closingTheLogPutsFindingAway()
    {
        load();
        r->MCloseLog->trigger();
        QVERIFY(!nav().index());
        for (QObject* o : QObjectList{r->MGoTo, r->MNextDump, r->MFind, r->MExportSignals,
                                      r->MTimeline, r->MFindNext, r->MFindPrev, r->FindNext})
            QVERIFY2(!o->property("enabled").toBool(), qPrintable(o->objectName()));
        QVERIFY(r->LogPosition->text().isEmpty());
    }

    // A log replaced or cut under its name is not played from the old places: load again?
    void aLogChangedUnderItsNameIsNotPlayedFromOldPlaces_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("answer"); // -1: no box
        QTest::newRow("another file moved onto its name, loaded again") << "moved" << mb::Yes;
        QTest::newRow("the log cut shorter") << "cut" << mb::No;
        QTest::newRow("the log grown by a capture") << "grown" << -1;
    }
    void aLogChangedUnderItsNameIsNotPlayedFromOldPlaces()
    {
        QFETCH(QString, change);
        QFETCH(int, answer);
        load();
        if (change == u"moved") {
            writeFile(path + QStringLiteral(".new"), randomLog(9, 50));
            QVERIFY(QFile::remove(path) && QFile::rename(path + QStringLiteral(".new"), path));
        } else if (change == u"cut") {
            QVERIFY(QFile::resize(path, index().bytes() / 2));
        } else {
            writeFile(path, readFile(path) + "> PMII\r\n");
        }
        w->boxes.answers = {answer};
        QCOMPARE(nav().goToLine(100), answer < 0);
        QCOMPARE(r->playback().shownLines(), answer < 0 ? 100 : 0);
        QCOMPARE(w->boxes.shown.size(), answer < 0 ? 0 : 1);
        if (answer == mb::Yes) // loaded again: the new file's index
            QTRY_COMPARE_WITH_TIMEOUT(nav().index() ? index().bytes() : -1,
                                      qint64(randomLog(9, 50).size()), 10000);
    }
};

QTEST_MAIN(TestLogNavigator)
#include "tst_lognavigator.moc"
