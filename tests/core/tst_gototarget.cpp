// What the replay's "Go to" box makes of what is typed into it.
#include "core/gototarget.h"

#include <QDateTime>
#include <QTest>

using namespace vantrel;

namespace
{
qint64 at(const char* local)
{
    return QDateTime::fromString(QLatin1String(local), Qt::ISODateWithMs).toMSecsSinceEpoch();
}
} // namespace

class TestGoToTarget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typed_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("gives");
        // The log was captured from 2026-12-08 22:00 into the next morning.
        QTest::newRow("a number is a line") << " 1234 "
                                            << "line 1234";
        QTest::newRow("a percentage is a share of the lines") << "12.5%"
                                                              << "share 0.125";
        QTest::newRow("a decimal comma is read as a point") << "50,5 %"
                                                            << "share 0.505";
        QTest::newRow("more than all of it is refused") << "101%"
                                                        << "refused";
        QTest::newRow("a time of day after the start is that day")
            << "23:15"
            << "time 2026-12-08T23:15:00.000";
        QTest::newRow("a time of day before the start is the next day")
            << "06:30:15.250"
            << "time 2026-12-09T06:30:15.250";
        QTest::newRow("a date and time is that moment") << "2026-12-09 01:02:03"
                                                        << "time 2026-12-09T01:02:03.000";
        QTest::newRow("words are refused") << "the fault"
                                           << "refused";
        QTest::newRow("a time that is no time is refused") << "25:61"
                                                           << "refused";
        QTest::newRow("after the log's end") << "07:30"
                                             << "outside";
        QTest::newRow("before its start") << "2026-12-08 21:59:59"
                                          << "outside";
        QTest::newRow("its last moment") << "07:00"
                                         << "time 2026-12-09T07:00:00.000";
    }
    void typed()
    {
        QFETCH(QString, typed);
        QFETCH(QString, gives);
        const Result<GoToTarget> t =
            parseGoTo(typed, at("2026-12-08T22:00:00.000"), at("2026-12-09T07:00:00.000"));
        QString got = QStringLiteral("refused");
        if (!t && t.why().endsWith(u"captured from 2026-12-08 22:00:00 to 2026-12-09 07:00:00"))
            got = QStringLiteral("outside");
        if (t && t->kind == GoToTarget::Kind::Line)
            got = QStringLiteral("line %1").arg(t->line);
        else if (t && t->kind == GoToTarget::Kind::Fraction)
            got = QStringLiteral("share %1").arg(t->fraction);
        else if (t)
            got = QStringLiteral("time ") +
                  QDateTime::fromMSecsSinceEpoch(t->ms).toString(Qt::ISODateWithMs);
        QCOMPARE(got, gives);
    }

    void aTimeNeedsCaptureTimes()
    {
        const Result<GoToTarget> t = parseGoTo(QStringLiteral("14:05"), std::nullopt);
        QVERIFY(!t);
        QVERIFY2(t.why().contains(QLatin1String("no capture times")), qPrintable(t.why()));
        QVERIFY(parseGoTo(QStringLiteral("50%"), std::nullopt));
    }
};

QTEST_MAIN(TestGoToTarget)
#include "tst_gototarget.moc"
