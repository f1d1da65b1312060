// The replay screen: loading a capture log, the pace controls and playback into the
// terminal window, the speed field and the signal grid.
#include "core/bundle.h"
#include "core/pmidump.h"
#include "diagnostics/signalgrid.h"
#include "fakes.h"
#include "platform/filesystem.h"
#include "ptyfixture.h"
#include "replay/lognavigator.h"
#include "replay/logreplay.h"
#include "replay/noteswindow.h"
#include "replay/pacebar.h"
#include "replay/timelinewindow.h"
#include "screens.h"
#include "shell/windows.h"
#include "testfiles.h"
#include "widgets/crlfedit.h"
#include "widgets/textbox.h"
#include "widgets/vtimer.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// A log on a slow medium: its lines come when the test writes them into a pipe.
class SlowMedium final : public FileSystem
{
public:
    PosixFileSystem real;
    ~SlowMedium() override
    {
        if (m_feed >= 0)
            ::close(m_feed);
    }
    void write(const QByteArray& bytes)
    {
        QCOMPARE(::write(m_feed, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    Result<bool> exists(const QString&) override { return true; }
    Result<> remove(const QString& p) override { return real.remove(p); }
    int freeFile() override { return real.freeFile(); }
    Result<> openAppend(int n, const QString& p) override { return real.openAppend(n, p); }
    Result<> openRead(int n, const QString&) override
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return Failure(QStringLiteral("no pipe"));
        m_feed = fds[1];
        m_no = n;
        m_lines = std::make_shared<LineFile>(fds[0], PosixFileSystem::kMaxLine);
        return done();
    }
    std::shared_ptr<LineFile> lines(int n) override { return n == m_no ? m_lines : nullptr; }
    Result<> write(int n, const QByteArray& b) override { return real.write(n, b); }
    qint64 writePosition(int n) const override { return real.writePosition(n); }
    void close(int n) override
    {
        if (n != m_no)
            return real.close(n);
        m_lines->cancel();
        m_lines.reset();
        m_no = 0;
    }
    void closeAll() override { real.closeAll(); }
    bool isOpen(int n) const override { return n == m_no || real.isOpen(n); }

private:
    int m_feed = -1;
    int m_no = 0;
    std::shared_ptr<LineFile> m_lines;
};

} // namespace

class TestReplay : public QObject, public ReplayFixture
{
    Q_OBJECT

    QTemporaryDir dir;

    LogReplay& play() { return r->playback(); }
    QString logWith(const QByteArray& bytes, const QString& name = QStringLiteral("car.log"))
    {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    void load(const QString& path)
    {
        w->dialogScript->push_back(path);
        r->MRplayLog->trigger();
    }
    void pause() { r->Option4->click(); }
    // A tick, a click or a key, and the wait for the line it asked for.
    void settle()
    {
        QVERIFY(QTest::qWaitFor([this] { return !play().waiting(); }, 60000));
    }
    void tick()
    {
        play().Timer7_Timer();
        settle();
    }
    void step()
    {
        r->Command1->click();
        settle();
    }
    void key()
    {
        QTest::keyClick(r->Command1, Qt::Key_A);
        settle();
    }

private Q_SLOTS:
    void init() { openReplay(); }
    void cleanup() { closeReplay(); }

    void fixtures_data()
    {
        QTest::addColumn<QString>("caseDir");
        const QStringList cases = fixtureCases(QStringLiteral("replay"));
        QVERIFY(cases.size() >= 10);
        for (const QString& c : cases)
            QTest::newRow(qPrintable(c.section(u'/', -1))) << c;
    }
    void fixtures()
    {
        QFETCH(QString, caseDir);
        load(caseDir + QStringLiteral("/capture.log"));
        QVERIFY(play().logFile() != 0);
        pause();
        const int steps =
            QString::fromLatin1(readFile(caseDir + QStringLiteral("/steps.txt"))).trimmed().toInt();
        // Ticks and clicks take a line alike: alternate them.
        for (int i = 0; i < steps; ++i) {
            if (i % 2)
                tick();
            else
                step();
        }
        QCOMPARE(r->Term->text(),
                 QString::fromLatin1(readFile(caseDir + QStringLiteral("/term.txt"))));
        QCOMPARE(r->txtvel->text(),
                 QString::fromLatin1(readFile(caseDir + QStringLiteral("/txtvel.txt"))));
        const auto cells = readCells(caseDir + QStringLiteral("/cells.txt"));
        QVERIFY2(cells, "a replay shows a grid: cells.txt may not say \"no header\"");
        QCOMPARE(cells->size(), kGridCells);
        QCOMPARE(gridCells(*r->grid), *cells);
        QCOMPARE(r->Term->selStart(), r->Term->length()); // newest text in view
    }

    void twoLinesThenTheTickFindsTheEnd()
    {
        load(logWith("A\r\nB\r\n"));
        QVERIFY(r->Timer7->enabled());
        QVERIFY(r->Command1->isEnabled());
        QVERIFY(r->MCloseLog->isEnabled());
        const int fileNo = play().logFile();
        tick();
        tick();
        QCOMPARE(r->Term->text(), QStringLiteral("\r\nA\r\nB"));
        QVERIFY(r->Timer7->enabled());
        tick();
        QVERIFY(!r->Timer7->enabled());
        QVERIFY(!r->Command1->isEnabled());
        QVERIFY(r->MCloseLog->isEnabled());
        QCOMPARE(play().logFile(), 0);
        QVERIFY(!w->files.isOpen(fileNo));
        QCOMPARE(r->Term->text(), QStringLiteral("\r\nA\r\nB"));
    }

    // A bundle plays as its log would, and is saved again whole; one that cannot be
    // unpacked is named, and the log playing before goes on.
    void bundlePlaysItsLog()
    {
        const QString zip = dir.filePath(QStringLiteral("car.zip"));
        const QString log = logWith("A\r\nB\r\n");
        writeFile(log + QStringLiteral(".notes"), "vantrel notes 1\n3 - B\n");
        QVERIFY(bundle::pack(log, zip).ok());
        QVERIFY(!r->MSaveBundle->isEnabled());
        load(zip);
        QCOMPARE(QFileInfo(play().chosenPath()).fileName(), QStringLiteral("car.log"));
        const QString again = dir.filePath(QStringLiteral("again.zip"));
        w->dialogScript->push_back(again);
        r->MSaveBundle->trigger();
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
        const auto unpacked = bundle::unpack(again, dir.filePath(QStringLiteral("out")));
        QVERIFY2(unpacked.ok(), qPrintable(unpacked.why()));
        QCOMPARE(readFile(unpacked->files.last()), readFile(log + QStringLiteral(".notes")));
        tick();
        tick();
        QCOMPARE(r->Term->text(), QStringLiteral("\r\nA\r\nB"));
        writeFile(zip, readFile(zip).first(40));
        load(zip);
        QCOMPARE(w->boxes.shown.size(), 1);
        QVERIFY2(w->boxes.shown[0].text.contains(zip), qPrintable(w->boxes.shown[0].text));
        QVERIFY(r->Timer7->enabled());
    }

    // A note goes at the line shown, is changed and deleted, each saved at once; notes
    // that do not match the log are shown as the notice and cannot be written over.
    void notesAreAddedAtTheLineShownAndSavedAtOnce()
    {
        const QString log = logWith("A\r\nB\r\nC\r\n", QStringLiteral("noted.log"));
        load(log);
        QTRY_VERIFY_WITH_TIMEOUT(r->navigator().index(), 20000);
        step();
        step();
        r->MNotes->trigger();
        NotesWindow* notes = r->notesWindow();
        QVERIFY(notes);
        auto* text = notes->findChild<QLineEdit*>(QStringLiteral("NoteText"));
        const auto press = [&](const char* name) {
            notes->findChild<QPushButton*>(QLatin1String(name))->click();
        };
        const auto saved = [&] { return readFile(log + QStringLiteral(".notes")); };
        text->setText(QStringLiteral("door noise"));
        press("AddNote");
        QCOMPARE(saved(), QByteArray("vantrel notes 1\n3 - door noise\n"));
        text->setText(QStringLiteral("door noise, twice"));
        press("ChangeNote");
        QCOMPARE(saved(), QByteArray("vantrel notes 1\n3 - door noise, twice\n"));
        press("DeleteNote");
        QVERIFY(!QFile::exists(log + QStringLiteral(".notes")));

        writeFile(log + QStringLiteral(".notes"), "vantrel notes 1\n900 - far\n");
        load(log);
        QTRY_VERIFY_WITH_TIMEOUT(r->navigator().index(), 20000);
        r->MNotes->trigger();
        notes = r->notesWindow();
        QVERIFY(!notes->findChild<QPushButton*>(QStringLiteral("AddNote"))->isEnabled());
        QVERIFY(notes->findChild<QLabel*>(QStringLiteral("NoteStatus"))
                    ->text()
                    .contains(QStringLiteral("past the log's end")));
        QCOMPARE(saved(), QByteArray("vantrel notes 1\n900 - far\n"));
    }

    // The timeline's Add Note at Cursor puts a note at its cursor's line, not the replay's, through
    // the notes window, and its mark joins the timeline.
    void aNoteAtTheTimelineCursorGoesAtItsLine()
    {
        const QString log = logWith("A\r\nB\r\nC\r\n", QStringLiteral("cursor.log"));
        load(log);
        pause();
        QTRY_VERIFY_WITH_TIMEOUT(r->navigator().index(), 20000);
        r->MTimeline->trigger();
        TimelineWindow* t = r->navigator().timeline();
        QVERIFY(t);
        settle();
        t->setCursorLine(3);
        // Its key, Ctrl+M, is pressed on the real program over X (tests/e2e).
        t->findChild<QAction*>(QStringLiteral("AddNoteAtCursor"))->trigger();
        QVERIFY(r->notesWindow());
        auto* text = r->notesWindow()->findChild<QLineEdit*>(QStringLiteral("NoteText"));
        QTRY_COMPARE(QApplication::focusWidget(), text);
        QTest::keyClicks(text, QStringLiteral("door"));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(readFile(log + QStringLiteral(".notes")),
                 QByteArray("vantrel notes 1\n6 - door\n"));
        QWidget* lane = t->findChild<QWidget*>(QStringLiteral("SentLane"));
        QVERIFY(lane);
        QCOMPARE(QAccessible::queryAccessibleInterface(lane)->text(QAccessible::Name),
                 QStringLiteral("Sent lane: 0 sent, 0 polls, 1 notes; note door at line 3"));
    }

    void headerLineBlanksTheCellsBeyondTheWindow()
    {
        FillSignalGrid(*r->grid, kPmiHeader + QString(400, QLatin1Char('x')));
        QCOMPARE(r->grid->cell(0)->text(), QStringLiteral("xx"));
        load(logWith(kPmiHeader.toLatin1() + "\r\nL1     D E F\r\n"));
        tick();
        for (const QString& c : gridCells(*r->grid))
            QVERIFY(c.isEmpty());
        tick();
        QCOMPARE(r->grid->cell(0)->text(), QStringLiteral("D "));
    }

    void pace_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("selected"); // the checked options, in order
        QTest::newRow("Fast") << "Fast" << 100 << "1";
        QTest::newRow("Med") << "Med" << 500 << "2";
        QTest::newRow("Slow after Fast") << "Fast,Slow" << 1000 << "3";
        QTest::newRow("Pause after Fast clears Fast") << "Fast,Pause" << 0 << "4";
        QTest::newRow("scroll to exactly 100 selects Fast") << "100" << 100 << "1";
        QTest::newRow("scroll to 500 leaves Slow selected") << "500" << 500 << "3";
        QTest::newRow("scroll to 0 from Fast leaves none selected") << "Fast,0" << 0 << "";
        QTest::newRow("scroll to 1000 from Pause leaves Pause") << "Pause,1000" << 1000 << "4";
    }
    void pace()
    {
        QFETCH(QString, action);
        QFETCH(int, interval);
        QFETCH(QString, selected);
        QRadioButton* options[] = {r->Option1, r->Option2, r->Option3, r->Option4};
        for (const QString& a : action.split(u',')) {
            bool number = false;
            const int value = a.toInt(&number);
            if (number)
                r->HScroll1->setInterval(value);
            for (QRadioButton* o : options)
                if (o->text() == a)
                    o->click();
        }
        QCOMPARE(r->HScroll1->interval(), interval);
        QCOMPARE(r->Timer7->interval(), interval);
        QCOMPARE(r->Text5->text(), QString::number(interval));
        QString checked;
        for (int i = 0; i < 4; ++i)
            if (options[i]->isChecked())
                checked += QString::number(i + 1);
        QCOMPARE(checked, selected);
        QVERIFY(!r->Timer7->enabled()); // the pace alone starts nothing
    }

    void pausedStepsOneLinePerClickThenATickEndsIt()
    {
        load(logWith("one\r\ntwo\r\n"));
        pause();
        QVERIFY(r->Timer7->enabled());
        QVERIFY(!r->Timer7->ticking());
        step();
        QCOMPARE(r->Term->text(), QStringLiteral("\r\none"));
        step();
        QCOMPARE(r->Term->text(), QStringLiteral("\r\none\r\ntwo"));
        step(); // the end: closed, the button off, the timer left on
        QCOMPARE(play().logFile(), 0);
        QVERIFY(!r->Command1->isEnabled());
        QVERIFY(r->Timer7->enabled());
        r->Option1->click(); // Fast: the next real tick finds the log closed
        QTRY_VERIFY_WITH_TIMEOUT(!r->Timer7->enabled(), 2000);
        QCOMPARE(r->Term->text(), QStringLiteral("\r\none\r\ntwo"));
    }

    void playsByItselfAtThePaceChosen()
    {
        load(logWith("L1\r\nL2\r\nL3\r\n"));
        r->Option1->click();
        QTRY_VERIFY_WITH_TIMEOUT(!r->Timer7->enabled(), 3000);
        QCOMPARE(r->Term->text(), QStringLiteral("\r\nL1\r\nL2\r\nL3"));
    }

    void keyOnTheStepButtonClosesOnlyAtTheEnd()
    {
        load(logWith("only\r\n"));
        pause();
        r->Command1->setFocus();
        key();
        QVERIFY(play().logFile() != 0); // a key reads nothing
        QVERIFY(r->Term->text().isEmpty());
        step();
        key();
        QCOMPARE(play().logFile(), 0);
        QVERIFY(!r->Command1->isEnabled());
        QVERIFY(r->Timer7->enabled());
    }

    void emptyLogEndsAtTheFirstStep()
    {
        load(logWith(""));
        QVERIFY(r->Command1->isEnabled());
        QVERIFY(r->Timer7->enabled());
        tick();
        QVERIFY(!r->Timer7->enabled());
        QVERIFY(!r->Command1->isEnabled());
        QCOMPARE(play().logFile(), 0);
    }

    void cancellingTheDialogChangesNothing()
    {
        w->dialogScript->push_back(QString());
        r->MRplayLog->trigger();
        QVERIFY(!r->Command1->isEnabled());
        QVERIFY(!r->MCloseLog->isEnabled());
        QVERIFY(!r->Timer7->enabled());
        QVERIFY(w->boxes.shown.isEmpty());
    }

    void missingPathsAskAgainUntilAFileIsChosen()
    {
        const QString missing = dir.filePath(QStringLiteral("gone.log"));
        const QString folder = dir.path();
        const QString good = logWith("x\r\n");
        w->dialogScript->push_back(missing);
        w->dialogScript->push_back(folder);
        w->dialogScript->push_back(good);
        r->MRplayLog->trigger();
        QCOMPARE(w->boxes.shown.size(), 2);
        QCOMPARE(w->boxes.shown[0].text, missing + QStringLiteral(" not found!"));
        QCOMPARE(w->boxes.shown[0].buttons, mb::OkWarning);
        QCOMPARE(w->boxes.shown[1].text, folder + QStringLiteral(" not found!"));
        QCOMPARE(play().chosenPath(), good);
        QVERIFY(r->Command1->isEnabled());
    }

    void unreadableLogSaysWhyAndEnablesNothing()
    {
        if (::geteuid() == 0)
            QSKIP("file permissions do not hold for root; the shrinking and vanishing logs "
                  "cover failures there");
        const QString path = logWith("secret\r\n");
        QFile::setPermissions(path, QFileDevice::Permissions());
        load(path);
        QCOMPARE(w->boxes.shown.size(), 1);
        QVERIFY(w->boxes.shown[0].text.contains(QStringLiteral("Permission denied")));
        QVERIFY(!r->Command1->isEnabled());
        QVERIFY(!r->Timer7->enabled());
    }

    void logThatShrinksOrVanishesWhilePlayingSaysWhy_data()
    {
        QTest::addColumn<bool>("vanish");
        QTest::addColumn<QString>("why");
        QTest::newRow("shrinks") << false << "shorter";
        QTest::newRow("vanishes") << true << "No such file or directory";
    }
    void logThatShrinksOrVanishesWhilePlayingSaysWhy()
    {
        QFETCH(bool, vanish);
        QFETCH(QString, why);
        QByteArray big;
        for (int i = 0; i < 4000; ++i)
            big += QByteArray("line ") + QByteArray::number(i) + QByteArray(30, 'z') + "\r\n";
        const QString path = logWith(big);
        load(path);
        pause();
        step();
        if (vanish)
            QVERIFY(QFile::remove(path));
        else
            QVERIFY(QFile::resize(path, 10));
        for (int i = 0; i < 4000 && w->boxes.shown.isEmpty(); ++i)
            step();
        QCOMPARE(w->boxes.shown.size(), 1);
        QVERIFY2(w->boxes.shown[0].text.contains(why), qPrintable(w->boxes.shown[0].text));
        QCOMPARE(w->boxes.shown[0].buttons, mb::OkWarning);
        QVERIFY(!r->Command1->isEnabled());
        QVERIFY(!r->Timer7->enabled());
        QCOMPARE(play().logFile(), 0);
        // The screen goes on: another log loads and plays.
        load(logWith("next\r\n", QStringLiteral("next.log")));
        step();
        QVERIFY(r->Term->text().endsWith(QStringLiteral("\r\nnext")));
    }

    void loadingAgainContinuesBelowAndDropsTheOldLog()
    {
        load(logWith("old1\r\nold2\r\n"));
        const int first = play().logFile();
        tick();
        load(logWith("new1\r\n", QStringLiteral("second.log")));
        QVERIFY(!w->files.isOpen(first));
        tick();
        QCOMPARE(r->Term->text(), QStringLiteral("\r\nold1\r\nnew1"));
    }

    void closingTheLogStopsAndRenamesTheCarScreen()
    {
        load(logWith("a\r\nb\r\nc\r\n"));
        tick();
        r->Option1->click(); // Fast: its first tick is due well after the close
        const int fileNo = play().logFile();
        r->MCloseLog->trigger();
        QVERIFY(!r->Timer7->enabled());
        QVERIFY(!r->Command1->isEnabled());
        QVERIFY(!r->MCloseLog->isEnabled());
        QVERIFY(!w->files.isOpen(fileNo));
        QCOMPARE(windows->form1()->windowTitle(), QStringLiteral("Comm Terminal"));
        QCOMPARE(r->Term->text(), QStringLiteral("\r\na"));
        QVERIFY(r->Option1->isChecked());
        QCOMPARE(r->Text5->text(), QStringLiteral("100"));
        r->MCloseLog->trigger(); // closing again is harmless
        QCOMPARE(w->boxes.shown.size(), 0);
    }

    void aLineWithoutEndOfManyMegabytesKeepsItsTail()
    {
        QByteArray huge(8 * 1024 * 1024, 'x');
        huge.append("THE END");
        load(logWith(huge));
        step();
        QCOMPARE(r->Term->length(), 418);
        QVERIFY(r->Term->text().endsWith(QStringLiteral("xxTHE END")));
        step();
        QVERIFY(!r->Command1->isEnabled());
    }

    // The window goes on while a line is read from a slow medium; the line is appended
    // when it has come, ticks that came meanwhile count once, and closing never waits.
    void aSlowMediumNeverHoldsTheWindow()
    {
        SlowMedium slow;
        Services s = w->services();
        s.files = &slow;
        Windows screens(s);
        screens.showForm1();
        replay* sr = screens.showReplay();
        w->dialogScript->push_back(QStringLiteral("/media/usb/car.log"));
        sr->MRplayLog->trigger();
        sr->Option4->click();
        sr->Command1->click();
        QVERIFY(sr->playback().waiting());
        letPeriodsPass(10, 10); // the window goes on meanwhile
        QVERIFY(sr->Term->text().isEmpty());
        slow.write("first\r\n");
        QTRY_COMPARE(sr->Term->text(), QStringLiteral("\r\nfirst"));
        for (int i = 0; i < 3; ++i)
            sr->playback().Timer7_Timer();
        QVERIFY(sr->playback().waiting());
        slow.write("second\r\nthird\r\n");
        QTRY_VERIFY(!sr->playback().waiting());
        QCOMPARE(sr->Term->text(), QStringLiteral("\r\nfirst\r\nsecond"));
        sr->Command1->click();
        sr->Command1->click();
        QVERIFY(sr->playback().waiting());
        sr->MCloseLog->trigger();
        QVERIFY(!sr->playback().waiting());
        QCOMPARE(sr->playback().logFile(), 0);
        QCOMPARE(sr->Term->text(), QStringLiteral("\r\nfirst\r\nsecond\r\nthird"));
    }

    // A log of two gigabytes without a line end: the click returns at once, the window
    // goes on, and the line's last characters arrive later; memory stays flat.
    void aLineOfGigabytesIsReadWhileTheWindowGoesOn()
    {
        const QString path = dir.filePath(QStringLiteral("huge.log"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(2) << 30)); // sparse: zeros, no line end
            QVERIFY(f.seek(f.size()));
            f.write("\r\nTAIL");
        }
        const double before = residentMegabytes();
        load(path);
        pause();
        int beats = 0;
        QTimer beat;
        beat.callOnTimeout([&] { ++beats; });
        beat.start(10);
        r->Command1->click();
        QVERIFY(r->Term->text().isEmpty());
        QVERIFY(QTest::qWaitFor([this] { return !play().waiting(); }, 240000));
        QVERIFY(beats > 0);
        QCOMPARE(r->Term->text(), QString(418, QChar(0)));
        step();
        QCOMPARE(r->Term->text().right(6), QStringLiteral("\r\nTAIL"));
        QVERIFY2(residentMegabytes() - before < 64,
                 qPrintable(QString::number(residentMegabytes() - before)));
        QFile::remove(path);
    }

    void playbackNeverSendsAnything()
    {
        w->serial.sent.clear();
        load(logWith("VEL =   12\r\n> PMII\r\n"));
        tick();
        tick();
        play().Timer1_Timer();
        QCOMPARE(w->serial.sent, QByteArray());
        QVERIFY(r->Text1->text().isEmpty());
        QVERIFY(r->txtbbt->text().isEmpty());
    }
};

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"
