// The timeline's summary: any stretch of the axis summed up in columns from the buckets
// of power-of-two widths equals the changes themselves counted where their buckets
// start, and what it sums up is what the index found, along times or lines.
#include "core/capturetimes.h"
#include "core/logindex.h"
#include "core/signalnames.h"
#include "core/timelinesummary.h"
#include "testfiles.h"
#include "testlogs.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
struct Change {
    qint64 at;
    quint32 value;
};

// Changes from the origin on: `count` of them, each up to `step` units after the last,
// now and then a long quiet spell.
QList<Change> randomChanges(quint32 seed, int count, qint64 step)
{
    QRandomGenerator r(seed);
    QList<Change> out;
    qint64 at = 0;
    for (int i = 0; i < count; ++i) {
        at += r.bounded(100) < 2 ? step * 500 : qint64(r.bounded(quint64(step) + 1));
        out.append({at, quint32(r.bounded(1000))});
    }
    return out;
}

// The widest bucket no wider than a column among the series' levels; a grain below them
// unless the series kept its buckets alone.
double bucketFor(const TimelineSeries& series, const TimelineScale& scale, double width)
{
    const int shift = scale.shift;
    if (width < double(qint64(1) << shift) && !series.dense())
        return double(qint64(1) << scale.grain);
    int level = 0;
    while (level + 1 < series.levels() && double(qint64(1) << (shift + level + 1)) <= width)
        ++level;
    return double(qint64(1) << (shift + level));
}

// Each change counted in the column its bucket starts in, worked out one by one.
TimelineSeries::Columns expectedColumns(const QList<Change>& changes, qint64 origin, double bucket,
                                        double from, double width, int count)
{
    TimelineSeries::Columns out;
    out.columns.resize(size_t(count));
    for (const Change& c : changes) {
        const double start = double(origin) + std::floor(double(c.at - origin) / bucket) * bucket;
        if (start < from) {
            out.before = c.value;
            continue;
        }
        if (start >= from + width * count)
            break;
        TimelineSeries::Column& col =
            out.columns[size_t(std::min(count - 1, int((start - from) / width)))];
        col.min = col.count == 0 ? c.value : std::min(col.min, c.value);
        col.max = col.count == 0 ? c.value : std::max(col.max, c.value);
        col.last = c.value;
        ++col.count;
    }
    return out;
}

// The columns that hold changes; their least and greatest value where they are kept.
QString describe(const TimelineSeries::Columns& cols, bool ranges)
{
    QStringList s{cols.before ? QString::number(*cols.before) : QStringLiteral("-")};
    for (size_t i = 0; i < cols.columns.size(); ++i) {
        const TimelineSeries::Column& c = cols.columns[i];
        if (c.count == 0)
            continue;
        s << QStringLiteral("%1:%2x last %3").arg(i).arg(c.count).arg(c.last);
        if (ranges)
            s.last() += QStringLiteral(" [%1,%2]").arg(c.min).arg(c.max);
    }
    return s.join(u' ');
}

std::optional<quint32> speedFromText(const QString& text)
{
    const QString t = text.trimmed();
    bool digits = !t.isEmpty();
    for (QChar c : t)
        digits = digits && c.isDigit();
    return digits ? std::optional<quint32>(t.toUInt()) : std::nullopt;
}

QString placesOf(const TimelineSeries& series)
{
    QStringList s;
    for (qsizetype i = 0; i < series.size(); ++i)
        s << QStringLiteral("%1=%2").arg(series.position(i)).arg(series.value(i));
    return s.join(u' ');
}

// Changes found again from a list held elsewhere, as the index lists its events.
struct ListedChanges final : TimelineSeries::Listed {
    ListedChanges(const QList<Change>& c, TimelineScale s) : changes(c), scale(s) {}
    QList<Change> changes;
    TimelineScale scale;
    qsizetype size() const override { return changes.size(); }
    PairSteps::Pair at(qsizetype i) const override
    {
        return {changes[i].value, quint64((changes[i].at - scale.origin) >> scale.grain)};
    }
};

QString placesOf(const QList<Change>& changes)
{
    QStringList s;
    for (const Change& c : changes)
        s << QStringLiteral("%1=%2").arg(c.at).arg(c.value);
    return s.join(u' ');
}
} // namespace

class TestTimelineSummary : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void columnsCountEachChangeWhereItsBucketStarts_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("step");
        QTest::addColumn<int>("grain");
        QTest::addColumn<int>("shift");
        QTest::addColumn<double>("width"); // in finest buckets
        QTest::addColumn<double>("from");  // in finest buckets
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("bounded");
        QTest::newRow("columns narrower than a unit: the changes themselves")
            << 2000 << qint64(40) << 0 << 6 << 0.004 << 1000.3 << 900 << false;
        QTest::newRow("columns narrower than the finest bucket, few changes a column")
            << 2000 << qint64(40) << 0 << 6 << 0.3 << 100.7 << 800 << false;
        QTest::newRow("columns narrower than the finest bucket, many changes a column")
            << 20000 << qint64(3) << 0 << 6 << 0.5 << 20.2 << 700 << false;
        QTest::newRow("positions kept to a grain of four units")
            << 3000 << qint64(30) << 2 << 6 << 0.3 << 40.1 << 900 << false;
        QTest::newRow("positions kept to a grain, wide columns")
            << 3000 << qint64(30) << 2 << 6 << 5.37 << 3.21 << 777 << false;
        QTest::newRow("columns of the finest bucket, on its edges")
            << 3000 << qint64(30) << 0 << 4 << 1.0 << 64.0 << 1000 << false;
        QTest::newRow("columns of eight buckets, on their edges")
            << 3000 << qint64(30) << 0 << 4 << 8.0 << 16.0 << 500 << false;
        QTest::newRow("columns between bucket widths, anywhere")
            << 3000 << qint64(30) << 0 << 4 << 5.37 << 3.21 << 777 << false;
        QTest::newRow("many changes a bucket, wide columns")
            << 20000 << qint64(3) << 0 << 2 << 97.5 << 11.1 << 300 << false;
        QTest::newRow("columns wider than the top level: one bucket for the lot")
            << 50 << qint64(10) << 0 << 1 << 1e6 << 0.0 << 3 << false;
        QTest::newRow("a view starting before the changes")
            << 500 << qint64(20) << 0 << 3 << 2.5 << -40.0 << 1000 << false;
        QTest::newRow("a view past the last change")
            << 500 << qint64(20) << 0 << 3 << 2.0 << 1e9 << 100 << false;
        // More changes than a bounded series keeps: its buckets alone, also below the finest.
        QTest::newRow("a chattering lane, columns narrower than the finest bucket")
            << 40000 << qint64(3) << 0 << 6 << 0.3 << 20.2 << 700 << true;
        QTest::newRow("a chattering lane, wide columns")
            << 40000 << qint64(3) << 0 << 2 << 5.37 << 3.21 << 777 << true;
        QTest::newRow("a bounded lane within its limit keeps its changes")
            << 2000 << qint64(40) << 0 << 6 << 0.3 << 100.7 << 800 << true;
        QTest::newRow("no changes at all")
            << 0 << qint64(20) << 0 << 3 << 2.0 << 0.0 << 100 << false;
    }
    void columnsCountEachChangeWhereItsBucketStarts()
    {
        QFETCH(int, count);
        QFETCH(qint64, step);
        QFETCH(int, grain);
        QFETCH(int, shift);
        QFETCH(double, width);
        QFETCH(double, from);
        QFETCH(int, columns);
        QFETCH(bool, bounded);
        const qint64 origin = 1767225600000; // positions as the time axis has them
        QList<Change> changes = randomChanges(7, count, step);
        for (Change& c : changes)
            c.at += origin;
        const TimelineScale scale{origin, grain, shift};
        for (int kind = 0; kind < (bounded ? 2 : 3); ++kind) {
            const bool ranges = kind == 1;
            TimelineSeries series(scale, ranges, bounded);
            if (kind == 2) // the changes found again from a list rather than kept
                series.setListed(std::make_shared<ListedChanges>(changes, scale));
            for (const Change& c : changes)
                series.add(c.at, c.value);
            series.finish();
            QCOMPARE(series.dense(), bounded && count > TimelineSeries::kKeptChanges);
            const double unit = double(qint64(1) << shift);
            const double start = double(origin) + from * unit;
            const TimelineSeries::Columns got = series.columns(start, width * unit, columns);
            const TimelineSeries::Columns want =
                expectedColumns(changes, origin, bucketFor(series, scale, width * unit), start,
                                width * unit, columns);
            QCOMPARE(describe(got, ranges), describe(want, ranges));
        }
    }

    void levelsHalveUpToOneBucket()
    {
        TimelineSeries series(TimelineScale{0, 0, 3}, true);
        for (const Change& c : randomChanges(3, 5000, 50))
            series.add(c.at, c.value);
        series.finish();
        const TimelineSeries::Columns whole = series.columns(0, 1e12, 1);
        QCOMPARE(whole.columns.front().count, quint32(5000));
        QCOMPARE(whole.columns.front().last, series.value(series.size() - 1));
        QCOMPARE(series.maxValue(), whole.columns.front().max);
    }

    void speedReportsReadAsNumbers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("number"); // -1: not a number
        QTest::newRow("standing") << QByteArray("  0") << 0;
        QTest::newRow("three digits") << QByteArray("122") << 122;
        QTest::newRow("two digits after a blank") << QByteArray(" 45") << 45;
        QTest::newRow("cut short by the log's end") << QByteArray("1") << 1;
        QTest::newRow("a blank after the digits") << QByteArray("12 ") << 12;
        QTest::newRow("cut short by its line's end") << QByteArray("18\r") << 18;
        QTest::newRow("a blank between digits") << QByteArray("1 2") << -1;
        QTest::newRow("letters") << QByteArray("ABC") << -1;
        QTest::newRow("a sign") << QByteArray("-12") << -1;
        QTest::newRow("blanks only") << QByteArray("   ") << -1;
        QTest::newRow("nothing") << QByteArray() << -1;
    }
    void speedReportsReadAsNumbers()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, number);
        quint32 v = quint32(text.size()) << 24;
        for (int k = 0; k < text.size(); ++k)
            v |= quint32(quint8(text[k])) << (16 - 8 * k);
        const std::optional<quint32> got = TimelineSummary::speedNumber(v);
        QCOMPARE(got ? int(*got) : -1, number);
    }

    void cellsReadAsBits_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("bit"); // -1: not a bit
        QTest::newRow("one and a blank") << QByteArray("1 ") << 1;
        QTest::newRow("zero and a blank") << QByteArray("0 ") << 0;
        QTest::newRow("the line's last cell, its CR after it") << QByteArray("1\r") << 1;
        QTest::newRow("cut short by the log's end") << QByteArray("0") << 0;
        QTest::newRow("a letter") << QByteArray("A ") << -1;
        QTest::newRow("two digits") << QByteArray("10") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
    }
    void cellsReadAsBits()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, bit);
        const std::optional<bool> got =
            TimelineSummary::cellBit(TimelineSummary::cellOf(QString::fromLatin1(text)));
        QCOMPARE(got ? int(*got) : -1, bit);
    }

    void landingCodesComeFromR1R2AndR4_data()
    {
        QTest::addColumn<QStringList>("r1r2r4");
        QTest::addColumn<QString>("landing");
        QTest::newRow("all off: the bottom landing") << QStringList{"0 ", "0 ", "0 "} << "B";
        QTest::newRow("R1: landing 1") << QStringList{"1 ", "0 ", "0 "} << "1";
        QTest::newRow("R2 and R4: landing 6") << QStringList{"0 ", "1 ", "1 "} << "6";
        QTest::newRow("all on: 7") << QStringList{"1 ", "1 ", "1 "} << "7";
        QTest::newRow("a letter among them") << QStringList{"1 ", "X ", "0 "} << "?";
    }
    void landingCodesComeFromR1R2AndR4()
    {
        QFETCH(QStringList, r1r2r4);
        QFETCH(QString, landing);
        std::array<QString, kGridCells> cells;
        for (size_t r = 0; r < 3; ++r) {
            QCOMPARE(signalName(TimelineSummary::landingCells()[r]),
                     QStringList({"R1", "R2", "R4"})[int(r)]);
            cells[size_t(TimelineSummary::landingCells()[r])] = r1r2r4[int(r)];
        }
        QCOMPARE(TimelineSummary::landingName(TimelineSummary::landingCode(cells)), landing);
    }

    void summaryHoldsWhatTheIndexFound_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("timed");
        QTest::addColumn<int>("threads");
        QTest::newRow("along lines, one thread") << 1u << false << 1;
        QTest::newRow("along lines, two halves") << 2u << false << 2;
        QTest::newRow("along capture times, one thread") << 3u << true << 1;
        QTest::newRow("along capture times, two halves") << 4u << true << 2;
    }
    void summaryHoldsWhatTheIndexFound()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, timed);
        QFETCH(int, threads);
        LogMix mix;
        mix.changedDumpsPerMille = 600; // the landing moves now and then too
        const QByteArray log = randomLog(seed, 4000, mix);
        const QString path = dir.filePath(QStringLiteral("capture%1.log").arg(seed));
        writeFile(path, log);
        const QList<TimeRecord> times = randomTimes(seed, log.size(), 1767225600000);
        if (timed)
            writeFile(capturetimes::pathFor(path), timesFile(times, log.size()));
        LogIndexer::Options options;
        options.threads = threads;
        options.blockBytes = 4096;
        const auto built = buildLogIndex(path, options);
        QVERIFY2(built, qPrintable(built ? QString() : built.why()));
        const LogIndex& index = **built;
        QCOMPARE(index.times().valid(), timed);
        const TimelineSummary& s = index.timeline();
        const auto at = [&](LogIndex::Event kind, qsizetype i) {
            const LogPlace p = index.place(kind, i);
            return timed ? timeOfByte(times, p.offset) : p.line;
        };
        QCOMPARE(s.unit(),
                 timed ? TimelineSummary::Unit::Milliseconds : TimelineSummary::Unit::Lines);
        QCOMPARE(s.start(), timed ? times.first().ms : qint64(1));
        QCOMPARE(s.end(), timed ? times.last().ms + 1 : index.lines() + 1);

        std::array<QList<Change>, kGridCells> cells;
        QList<Change> landing;
        QVERIFY(
            index.walkDumps([&](qsizetype i, const auto& values, const std::vector<int>& changed) {
                for (int c : changed)
                    cells[size_t(c)].append(
                        {at(LogIndex::Event::Dump, i), TimelineSummary::cellOf(values[size_t(c)])});
                const quint32 code = TimelineSummary::landingCode(values);
                if (code != TimelineSummary::kUnknownLanding &&
                    (landing.isEmpty() || landing.last().value != code))
                    landing.append({at(LogIndex::Event::Dump, i), code});
                return true;
            }));
        for (int c = 0; c < kGridCells; ++c)
            QCOMPARE(placesOf(s.cell(c)), placesOf(cells[size_t(c)]));
        QCOMPARE(placesOf(s.landing()), placesOf(landing));
        QVERIFY(landing.size() > 3);

        QList<Change> speeds;
        for (qsizetype i = 0; i < index.count(LogIndex::Event::Speed); ++i) {
            const std::optional<quint32> v = speedFromText(index.speedText(i));
            if (v && (speeds.isEmpty() || speeds.last().value != *v))
                speeds.append({at(LogIndex::Event::Speed, i), *v});
        }
        QCOMPARE(placesOf(s.speed()), placesOf(speeds));

        QList<Change> faults;
        QList<Change> arrivals;
        for (qsizetype i = 0; i < index.count(LogIndex::Event::NewFault); ++i) {
            const QString text = index.faultText(LogIndex::Event::NewFault, i);
            if (text.startsWith(u"ARRIVED AT "))
                arrivals.append({at(LogIndex::Event::NewFault, i), quint32(i)});
            else if (text.trimmed() != u"NO FAULT")
                faults.append({at(LogIndex::Event::NewFault, i), quint32(i)});
        }
        QCOMPARE(placesOf(s.faults()), placesOf(faults));
        QCOMPARE(placesOf(s.arrivals()), placesOf(arrivals));
        QVERIFY(!faults.isEmpty() && !arrivals.isEmpty());
    }

    // Lanes of many new faults, found again from the index: all of them, some or none.
    void faultLanesOfLogsOfOneKind_data()
    {
        QTest::addColumn<QByteArray>("text"); // a line's, %1 its number
        QTest::newRow("faults alone") << QByteArray("FLT0 =  %1");
        QTest::newRow("arrivals alone") << QByteArray("FLT0 =  ARRIVED AT %1");
        QTest::newRow("faults and all-clears") << QByteArray("FLT0 =  NO FAULT\r\nFLT0 =  %1");
    }
    void faultLanesOfLogsOfOneKind()
    {
        QFETCH(QByteArray, text);
        QByteArray log;
        for (int i = 0; i < 3000; ++i)
            log += QString::fromLatin1(text).arg(i % 7).toLatin1() + "\r\n";
        const QString path = dir.filePath(QStringLiteral("%1.log").arg(QTest::currentDataTag()));
        writeFile(path, log);
        const auto built = buildLogIndex(path);
        QVERIFY(built);
        std::array<QList<Change>, 2> lanes; // faults, arrivals along lines
        for (qsizetype i = 0; i < (*built)->count(LogIndex::Event::NewFault); ++i)
            if (const QString f = (*built)->faultText(LogIndex::Event::NewFault, i);
                f != "NO FAULT")
                lanes[f.startsWith(u"ARRIVED") ? 1 : 0].append(
                    {(*built)->place(LogIndex::Event::NewFault, i).line, quint32(i)});
        QCOMPARE(placesOf((*built)->timeline().faults()), placesOf(lanes[0]));
        QCOMPARE(placesOf((*built)->timeline().arrivals()), placesOf(lanes[1]));
    }
};

QTEST_GUILESS_MAIN(TestTimelineSummary)
#include "tst_timelinesummary.moc"
