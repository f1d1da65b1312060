// The car model's rules without a screen: what the parse buffer's scan finds and asks
// for, the stop counter, the grid fill, the polling and stress steps and the lamps.
#include "core/carmodel.h"
#include "testfiles.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// The wire as the model sees it: whether the port is open, and what was sent.
struct Sink final : CommandSink {
    bool open = true;
    QStringList sent;
    bool portOpen() const override { return open; }
    void send(const QString& command, sent::Source) override
    {
        if (open)
            sent << command;
    }
    QStringList take() { return std::exchange(sent, {}); }
};

// A dump whose speed mode cell reads `mode` and every other cell "0".
QString dumpWithMode(QChar mode)
{
    int line = 0;
    int cell = 0;
    for (const DumpCell& c : dumpCells())
        if (qstrcmp(c.label, "lbl514") == 0) {
            line = c.line;
            cell = c.cell;
        }
    return QStringLiteral("> PMII\r\n") +
           pmiDump([&](int l, int c) { return l == line && c == cell ? mode : QChar(u'0'); });
}

QList<bool> timers(const CarModel& m)
{
    QList<bool> on;
    for (int t = 0; t < CarModel::kTimers; ++t)
        on << m.timer(CarModel::Timer(t));
    return on;
}
} // namespace

class TestCarModel : public QObject
{
    Q_OBJECT

    Sink sink;
    std::unique_ptr<CarModel> model;

    void feed(const QString& buffer) { model->parseBuffer().setText(buffer); }

private Q_SLOTS:
    void init()
    {
        sink = Sink();
        model = std::make_unique<CarModel>(sink);
    }

    // Each row: the parse buffer after each change, what was sent, what is shown.
    void scanChain_data()
    {
        QTest::addColumn<QStringList>("buffers");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("shown"); // speed, stop count, BBT, fault
        QTest::addColumn<bool>("gridTimer");
        QTest::newRow("no echo, nothing is read")
            << QStringList{"VEL =     0 BBT =   00001"} << QStringList{}
            << QStringList{"", "", "", ""} << false;
        QTest::newRow("speed, BBT and fault are read")
            << QStringList{"> PMII\r\nVEL =    12\r\nBBT =   00042\r\nFLT0 =  DOOR FAULT\r\n"}
            << QStringList{"flt0"} << QStringList{" 12", "", "00042", "DOOR FAULT\r\n"} << true;
        QTest::newRow("a stop counts and asks for bbt")
            << QStringList{"> PMII VEL =    12", "> PMII VEL =     0"} << QStringList{"bbt"}
            << QStringList{"  0", "1", "", ""} << true;
        QTest::newRow("still at rest: nothing further")
            << QStringList{"> PMII VEL =     0", "> PMII VEL =     0 "} << QStringList{"bbt"}
            << QStringList{"  0", "1", "", ""} << true;
        QTest::newRow("a new BBT value asks for the fault")
            << QStringList{"> PMII VEL =     0", "> PMII VEL =     0 BBT =   00001"}
            << QStringList{"bbt", "flt0"} << QStringList{"  0", "1", "00001", ""} << true;
        QTest::newRow("the same BBT value again asks nothing")
            << QStringList{"> PMII BBT =   00001", "> PMII BBT =   00001 FLT0 =  ARRIVED"}
            << QStringList{"flt0"} << QStringList{"", "", "00001", "ARRIVED"} << true;
        QTest::newRow("a second stop after moving counts two")
            << QStringList{"> PMII VEL =     0", "> PMII VEL =     5", "> PMII VEL =     0"}
            << QStringList{"bbt", "bbt"} << QStringList{"  0", "2", "", ""} << true;
    }
    void scanChain()
    {
        QFETCH(QStringList, buffers);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, shown);
        QFETCH(bool, gridTimer);
        for (const QString& b : buffers)
            feed(b);
        QCOMPARE(sink.sent, sent);
        QCOMPARE((QStringList{model->value(CarModel::Speed), model->value(CarModel::StopText),
                              model->value(CarModel::Bbt), model->value(CarModel::Fault)}),
                 shown);
        QCOMPARE(model->timer(CarModel::GridTimer), gridTimer);
    }

    // A received piece enters the parse buffer as two changes, each looked at; the model
    // skips the second look where it would find the same. Fed the same pieces, it sends
    // and shows what two plain changes make it send and show.
    void receivedPiecesAsTwoChanges()
    {
        Sink plainSink;
        CarModel plain(plainSink);
        QRandomGenerator rng(7);
        const QStringList words = {"> PMII ",
                                   "VEL =    12",
                                   "VEL =     0",
                                   "BBT =   0004",
                                   "FLT0 =  DOOR",
                                   "\r\n",
                                   "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"};
        for (int i = 0; i < 3000; ++i) {
            QString piece;
            for (int n = int(rng.bounded(8)); n > 0; --n)
                piece += words[int(rng.bounded(words.size()))];
            model->parseBuffer().appendKeeping(piece, kParseBufferSize);
            plain.parseBuffer().setText(plain.parseBuffer().text() + piece);
            plain.parseBuffer().setText(plain.parseBuffer().text().right(kParseBufferSize));
        }
        QCOMPARE(sink.sent, plainSink.sent);
        QVERIFY(sink.sent.size() > 100);
        QCOMPARE(model->parseBuffer().text(), plain.parseBuffer().text());
        QCOMPARE(model->stopCount(), plain.stopCount());
    }

    // A BBT value found drops the pending quiet poll.
    void newBbtDropsTheQuietPoll()
    {
        model->setTimer(CarModel::QuietTimer, true);
        feed(QStringLiteral("> PMII BBT =   00007"));
        QVERIFY(!model->timer(CarModel::QuietTimer));
    }

    // One notification per change: the same values found again tell nothing.
    void sameValuesAgainTellNothing()
    {
        QSignalSpy values(model.get(), &CarModel::valueChanged);
        feed(QStringLiteral("> PMII VEL =    12 BBT =   00042"));
        QCOMPARE(values.count(), 2);
        feed(QStringLiteral("> PMII VEL =    12 BBT =   00042\r\nI/O 8  0 0 0"));
        QCOMPARE(values.count(), 2);
    }

    void resetThenNextStopShowsOne()
    {
        for (const char* b : {"> PMII VEL =     0", "> PMII VEL =     5", "> PMII VEL =     0"})
            feed(QLatin1String(b));
        model->stopPolling();
        QCOMPARE(model->value(CarModel::StopText), QStringLiteral("2"));
        feed(QStringLiteral("> PMII VEL =     5"));
        feed(QStringLiteral("> PMII VEL =     0"));
        QCOMPARE(model->value(CarModel::StopText), QStringLiteral("1"));
    }

    void stopCountRollsOverAtItsLimit()
    {
        for (int i = 0; i < std::numeric_limits<qint16>::max(); ++i) {
            model->setValue(CarModel::Speed, QStringLiteral(" 1"));
            model->setValue(CarModel::Speed, QStringLiteral("  0"));
        }
        QCOMPARE(model->stopCount(), qint16(32767));
        sink.take();
        model->setValue(CarModel::Speed, QStringLiteral(" 1"));
        model->setValue(CarModel::Speed, QStringLiteral("  0"));
        QCOMPARE(model->stopCount(), qint16(0));
        QCOMPARE(model->value(CarModel::StopText), QStringLiteral("0"));
        QCOMPARE(sink.take(), QStringList{"bbt"});
    }

    // The grid fill: the speed mode decides whether the speed is asked for.
    void gridFill_data()
    {
        QTest::addColumn<QChar>("mode");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("SM 1 asks for the speed") << QChar(u'1') << "  0" << QStringList{"vel"};
        QTest::newRow("SM 0 at rest asks nothing") << QChar(u'0') << "  0" << QStringList{};
        QTest::newRow("SM 0 while moving asks until it reads rest")
            << QChar(u'0') << " 12" << QStringList{"vel"};
        QTest::newRow("SM 0 before any speed asks") << QChar(u'0') << "" << QStringList{"vel"};
        QTest::newRow("SM 2 asks nothing") << QChar(u'2') << " 12" << QStringList{};
        QTest::newRow("a letter counts as 0") << QChar(u'X') << " 12" << QStringList{"vel"};
        QTest::newRow("two blanks count as 0") << QChar(u' ') << "  0" << QStringList{};
    }
    void gridFill()
    {
        QFETCH(QChar, mode);
        QFETCH(QString, speed);
        QFETCH(QStringList, sent);
        model->setValue(CarModel::Speed, speed);
        sink.take();
        model->setTimer(CarModel::PollTimer, true);
        model->setLamp(CarModel::PollLamp, true);
        const QString dump = dumpWithMode(mode);
        const auto expected = readPmiDump(dump);
        QVERIFY(expected);
        model->parseBuffer().setText(dump);
        QSignalSpy cells(model.get(), &CarModel::cellsChanged);
        model->gridTick();
        QCOMPARE(sink.take(), sent);
        QCOMPARE(model->cells(), *expected);
        QCOMPARE(cells.count(), 1);
        QCOMPARE(timers(*model), (QList<bool>{false, false, true, true, false}));
        QVERIFY(!model->lamp(CarModel::PollLamp));
        model->gridTick(); // the same dump again: nothing to show anew
        QCOMPARE(cells.count(), 1);
    }

    void gridTickWithoutADumpKeepsLooking()
    {
        model->setTimer(CarModel::GridTimer, true);
        model->setTimer(CarModel::PollTimer, true);
        feed(QStringLiteral("> PMII but no dump"));
        model->gridTick();
        QCOMPARE(timers(*model), (QList<bool>{true, false, false, true, false}));
        QCOMPARE(model->cells(), (std::array<QString, kGridCells>{}));
        QVERIFY(sink.sent.isEmpty());
    }

    // Timer2 and Timer5 poll alike; Timer5 once. A closed port: nothing changes.
    void pollTick_data()
    {
        QTest::addColumn<int>("timer");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QList<bool>>("after");
        QTest::newRow("poll") << int(CarModel::PollTimer) << true
                              << QList<bool>{true, true, false, true, true};
        QTest::newRow("quiet poll, once")
            << int(CarModel::QuietTimer) << true << QList<bool>{true, true, false, true, false};
        QTest::newRow("closed port")
            << int(CarModel::QuietTimer) << false << QList<bool>{false, true, false, true, true};
    }
    void pollTick()
    {
        QFETCH(int, timer);
        QFETCH(bool, open);
        QFETCH(QList<bool>, after);
        sink.open = open;
        model->setTimer(CarModel::PollTimer, true);
        model->setTimer(CarModel::QuietTimer, true);
        model->pollTick(CarModel::Timer(timer));
        QCOMPARE(timers(*model), after);
        QCOMPARE(sink.take(), open ? QStringList{"pmii"} : QStringList{});
        QCOMPARE(model->lamp(CarModel::SendLamp), open);
    }

    // Stress steps: every third tick of a run asks for the target, the next for the
    // first floor; a stop keeps the phase, so the next run goes on where it stopped.
    void stressPhases()
    {
        model->toggleStress();
        QCOMPARE(model->value(CarModel::Caption), QLatin1String(text::kStressCaption));
        QStringList sent;
        for (int i = 0; i < 3; ++i) {
            model->stressTick(QStringLiteral("12"));
            sent << sink.take().join(QLatin1Char(','));
        }
        QCOMPARE(sent, (QStringList{"", "scc12", "scc1"}));
        QCOMPARE(model->stressPhase(), qint16(1));
        QVERIFY(model->timer(CarModel::PollTimer));
        model->stopPolling();
        QCOMPARE(model->value(CarModel::Caption), QLatin1String(text::kCarCaption));
        model->toggleStress();
        model->stressTick(QString());
        QCOMPARE(sink.take(), QStringList{"scc"});
        model->toggleStress(); // a press while it runs stops it
        QCOMPARE(timers(*model).mid(0, 3), (QList<bool>{false, false, false}));
        model->stressTick(QStringLiteral("12"));
        QVERIFY(sink.sent.isEmpty());
    }

    // Another caption (a capture log's) is no stress test: the steps send nothing.
    void stressStepsOnlyUnderTheStressCaption()
    {
        model->toggleStress();
        model->setValue(CarModel::Caption, QStringLiteral("Comm Terminal - car.log"));
        for (int i = 0; i < 3; ++i)
            model->stressTick(QStringLiteral("3"));
        QVERIFY(sink.sent.isEmpty());
        QVERIFY(model->timer(CarModel::StressTimer));
    }

    // The lamp tick: a piece received while the command entry shows arms the quiet poll.
    void lampTick_data()
    {
        QTest::addColumn<bool>("piece");
        QTest::addColumn<bool>("entryShown");
        QTest::addColumn<bool>("quiet");
        QTest::newRow("piece, entry shown") << true << true << true;
        QTest::newRow("piece, entry hidden") << true << false << false;
        QTest::newRow("no piece since") << false << true << false;
    }
    void lampTick()
    {
        QFETCH(bool, piece);
        QFETCH(bool, entryShown);
        QFETCH(bool, quiet);
        model->sendLit(QStringLiteral("stu"));
        model->setTimer(CarModel::QuietTimer, true);
        if (piece)
            model->pieceArrived();
        QCOMPARE(model->timer(CarModel::QuietTimer), !piece);
        QCOMPARE(model->lamp(CarModel::ReceiveLamp), piece);
        if (!piece)
            model->setTimer(CarModel::QuietTimer, false);
        model->lampTick(entryShown);
        QCOMPARE(model->timer(CarModel::QuietTimer), quiet);
        QVERIFY(!model->lamp(CarModel::ReceiveLamp));
        QVERIFY(!model->lamp(CarModel::SendLamp));
        QVERIFY(!model->timer(CarModel::LampTimer));
    }
};

QTEST_MAIN(TestCarModel)
#include "tst_carmodel.moc"
