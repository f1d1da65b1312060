// Going to a line from the log index shows what playing the log up to that line shows:
// the real replay screen plays generated logs line by line, and the state worked out
// from the index for a few hundred random lines must equal what it showed there.
#include "core/logindex.h"
#include "diagnostics/signalgrid.h"
#include "fakes.h"
#include "replay/lognavigator.h"
#include "replay/logreplay.h"
#include "screens.h"
#include "shell/windows.h"
#include "testfiles.h"
#include "testlogs.h"
#include "widgets/crlfedit.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

using namespace vantrel;
using namespace vantrel::test;

Q_DECLARE_METATYPE(vantrel::test::LogMix)

namespace
{
QString shown(const ReplayState& s)
{
    QStringList cells;
    for (const QString& c : s.cells)
        cells << c;
    return QStringLiteral("term [%1]\nspeed [%2]\ncells [%3]")
        .arg(s.term, s.speed, cells.join(u'|'))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\n', QStringLiteral("\\n"));
}
} // namespace

class TestReplayGoto : public QObject, public ReplayFixture
{
    Q_OBJECT

    ReplayState screenState() const
    {
        ReplayState s;
        s.term = r->Term->text();
        s.speed = r->txtvel->text();
        const QStringList cells = gridCells(*r->grid);
        for (int i = 0; i < kGridCells; ++i)
            s.cells[size_t(i)] = cells[i];
        return s;
    }

private Q_SLOTS:
    void init() { openReplay(); }
    void cleanup() { closeReplay(); }

    void goingToALineShowsWhatPlayingToItShows_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<LogMix>("mix");
        QTest::addColumn<bool>("olderState");
        const LogMix usual;
        LogMix noDumps;
        noDumps.dumpsPerMille = 0;
        LogMix longLines;
        longLines.longLinesPerMille = 60;
        LogMix bareCr;
        bareCr.bareCrPerMille = 700;
        bareCr.loneLfPerMille = 150;
        LogMix dense;
        dense.dumpsPerMille = 450;
        dense.speedsPerMille = 450;
        dense.faultsPerMille = 50;
        QTest::newRow("dumps, speeds, faults and long lines after an older state")
            << 11u << 2500 << usual << true;
        QTest::newRow("the same on an empty screen") << 12u << 2500 << usual << false;
        QTest::newRow("no dumps: the older grid stays") << 13u << 2500 << noDumps << true;
        QTest::newRow("many lines over 4096 and 64 KiB") << 14u << 1200 << longLines << true;
        QTest::newRow("mostly CR-only line ends and lone LFs") << 15u << 2500 << bareCr << true;
        QTest::newRow("a dump or a speed on nearly every line") << 16u << 2000 << dense << true;
        QTest::newRow("fewer lines than the start that is played") << 17u << 60 << usual << true;
    }
    void goingToALineShowsWhatPlayingToItShows()
    {
        QFETCH(quint32, seed);
        QFETCH(int, pieces);
        QFETCH(LogMix, mix);
        QFETCH(bool, olderState);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("capture.log"));
        writeFile(path, randomLog(seed, pieces, mix));
        QRandomGenerator random(seed);
        if (olderState) { // what an earlier log left: a dump, a speed, other cells
            r->Term->setText(QStringLiteral("VEL =   77\r\n") + kPmiHeader +
                             QStringLiteral("\r\nI/O 1  1 0 1 1 0 0 0 1 0 1 1 0 1 0 1 1"));
            r->txtvel->setText(QStringLiteral("old"));
            for (int i = 0; i < kGridCells; ++i)
                r->grid->cell(i)->setText(QString::number(random.bounded(100)));
        }
        const ReplayState atLoad = screenState();

        const auto built = buildLogIndex(path, {2, 4096, {}, {}});
        QVERIFY2(built, qPrintable(built.why()));
        const LogIndex& index = **built;
        const qint64 lines = index.lines();
        QVERIFY(lines > 0);
        std::set<qint64> targets = {0, 1, 2, lines};
        for (qint64 n : {511, 512, 513, 700})
            if (n <= lines)
                targets.insert(n);
        while (targets.size() < 300 && qint64(targets.size()) < lines)
            targets.insert(1 + random.bounded(lines));
        // Some the screen itself goes to, and plays on from by one step.
        std::vector<qint64> goTos(targets.begin(), targets.end());
        std::shuffle(goTos.begin(), goTos.end(), random);
        goTos.resize(std::min<size_t>(goTos.size(), 12));
        for (qint64 n : goTos)
            targets.insert(std::min(n + 1, lines));

        // Play the whole log through the screen, noting what it shows at each target.
        std::map<qint64, ReplayState> played;
        played[0] = atLoad;
        w->dialogScript->push_back(path);
        r->MRplayLog->trigger();
        r->Option4->click(); // paused: one line a click
        for (qint64 n = 1; n <= lines; ++n) {
            r->playback().Command1_Click();
            QVERIFY(QTest::qWaitFor([this] { return !r->playback().waiting(); }, 20000));
            if (targets.count(n))
                played[n] = screenState();
        }
        r->playback().Command1_Click(); // the end: nothing more was there
        QVERIFY(QTest::qWaitFor([this] { return !r->playback().waiting(); }, 20000));
        QCOMPARE(r->playback().logFile(), 0);

        const auto differ = [&](qint64 n, const ReplayState& got, const char* how) {
            return QStringLiteral("after line %1 of %2:\n%3 shows\n%4\nplaying showed\n%5")
                .arg(n)
                .arg(lines)
                .arg(QLatin1String(how), shown(got), shown(played[n]))
                .toLocal8Bit();
        };
        for (qint64 n : targets) {
            const Result<ReplayState> got = index.stateAfter(n, atLoad);
            QVERIFY2(got, qPrintable(got.why()));
            QVERIFY2(shown(*got) == shown(played[n]), differ(n, *got, "the index").constData());
        }

        // The screen goes there itself, and its step button plays on from there.
        QTRY_VERIFY_WITH_TIMEOUT(r->navigator().index(), 20000);
        for (qint64 n : goTos) {
            QVERIFY(r->navigator().goToLine(n));
            QCOMPARE(r->playback().shownLines(), n);
            QVERIFY2(shown(screenState()) == shown(played[n]),
                     differ(n, screenState(), "going").constData());
            if (n == lines)
                continue;
            r->playback().Command1_Click();
            QVERIFY(QTest::qWaitFor([this] { return !r->playback().waiting(); }, 20000));
            QVERIFY2(shown(screenState()) == shown(played[n + 1]),
                     differ(n + 1, screenState(), "a step after going").constData());
        }
    }
};

QTEST_MAIN(TestReplayGoto)
#include "tst_replaygoto.moc"
