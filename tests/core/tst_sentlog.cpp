// What was sent and the notes beside a log: used only when they match the log, with a
// notice otherwise; a crash leaves either the whole old notes or the whole new ones; the
// signal exports hold them, escaped so that no text ends a VCD word or a CSV field.
#include "core/notes.h"
#include "core/sentlog.h"
#include "core/signalexport.h"
#include "testfiles.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestSentLog : public QObject
{
    Q_OBJECT

    QTemporaryDir exportDir;

    // A line, a dump of 0s, a speed and a dump of 1s, exported with what was sent and noted
    // beside them; "failed" when not.
    QByteArray exported(bool timed, bool csv)
    {
        const QString path =
            exportDir.filePath(timed ? QStringLiteral("t.log") : QStringLiteral("c.log"));
        QByteArray log = "hello\r\n" + pmiDump([](int, int) { return u'0'; }).toLatin1();
        const QByteArray at = QByteArray::number((log += "VEL =   12\r\n").size());
        log += pmiDump([](int, int) { return u'1'; }).toLatin1();
        const QByteArray end = QByteArray::number(log.size());
        writeFile(path, log);
        if (timed)
            writeFile(path + QStringLiteral(".times"), "vantrel capture times 1\nopen 0 1000\n" +
                                                           at + " 3000\nclose " + end + " 4000\n");
        writeFile(path + QStringLiteral(".sent"),
                  "vantrel sent 1\nopen 0 1000\nbutton 0 900 DOB\nkey 3 1005 x\n"
                  "polls 7 1010 5 20 1900 STAT\nbox " +
                      at + " 2500 a b\\x0d\\x0a\",\\xff\nkey " + end + " 1900 z\n");
        writeFile(path + QStringLiteral(".notes"), "vantrel notes 1\n" + at + " - é€\n");
        const auto index = *buildLogIndex(path);
        const ExportExtras extras = ExportExtras::beside(*index);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const auto written =
            csv ? writeCsv(*index, out, extras) : writeVcd(*index, out, {}, extras);
        return written && index->count(LogIndex::Event::Dump) == 2 ? out.data() : "failed";
    }

private Q_SLOTS:
    void matchingFilesAreRead_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("logBytes");
        QTest::addColumn<QString>("pieces");
        const QByteArray head = "vantrel sent 1\nopen 0 1000\n";
        QTest::newRow("a piece of each kind, escapes read back")
            << head + "button 0 1001 stu\\x0d\nkey 3 1002 \\x5c\nclose 9 1003\n"
            << qint64(9) << "button@0:stu\r key@3:\\";
        QTest::newRow("a run of polls sorts among the pieces by its first time")
            << head + "box 5 1500 flt\npolls 0 1100 4 8 1900 pmii\nclose 9 2000\n"
            << qint64(9) << "poll@0:pmii box@5:flt";
        QTest::newRow("a run appended where the one before closed")
            << head + "close 4 1100\nopen 4 5000\nstress 6 5001 scc3\nclose 8 5002\n"
            << qint64(8) << "stress@6:scc3";
        QTest::newRow("a last line cut short by a crash is left out")
            << head + "key 2 1001 a\nkey 3 10" << qint64(7) << "key@2:a";
    }
    void matchingFilesAreRead()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint64, logBytes);
        QFETCH(QString, pieces);
        const SentLog log = SentLog::parse(text, logBytes, QStringLiteral("car.log"));
        QVERIFY2(log.valid(), qPrintable(log.notice()));
        QStringList got;
        for (const SentPiece& p : log.pieces())
            got << QStringLiteral("%1@%2:%3")
                       .arg(QLatin1String(sent::sourceWord(p.source)))
                       .arg(p.offset)
                       .arg(QString::fromLatin1(p.text));
        QCOMPARE(got.join(u' '), pieces);
    }

    void mismatchedFilesAreLeftOut_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("logBytes");
        QTest::addColumn<QString>("why");
        const QByteArray head = "vantrel sent 1\nopen 0 1\n";
        QTest::newRow("the log is shorter") << head + "key 50 2 a\n"
                                            << qint64(20) << "offsets past its end";
        QTest::newRow("the log was appended to after the last run closed")
            << head + "close 10 2\n"
            << qint64(30) << "its last run ends at byte 10 of 30";
        QTest::newRow("a run that does not go on where the last closed")
            << head + "close 10 2\nopen 12 3\n"
            << qint64(30) << "the run at line 4 does not start where the one before ended";
        QTest::newRow("an unknown source") << head + "shout 1 2 a\n"
                                           << qint64(30) << "line 3 cannot be read";
        QTest::newRow("another format") << QByteArray("vantrel sent 2\n") << qint64(0)
                                        << "its first line is not \"vantrel sent 1\"";
    }
    void mismatchedFilesAreLeftOut()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint64, logBytes);
        QFETCH(QString, why);
        const SentLog log = SentLog::parse(text, logBytes, QStringLiteral("car.log"));
        QVERIFY(!log.valid());
        QVERIFY(log.pieces().isEmpty());
        QCOMPARE(log.notice(), QStringLiteral("what was sent beside car.log does not match it "
                                              "(%1): it is left out")
                                   .arg(why));
    }

    void notesGoBackAsTheyWereSaved()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("car.log"));
        writeFile(log, QByteArray(100, 'x'));
        const QList<Note> notes{{40, 1700000000123, QStringLiteral("door noise\nat 14:05 \\ ü")},
                                {7, std::nullopt, QString()}};
        QVERIFY(saveNotes(log, notes).ok());
        const Notes back = Notes::forLog(log, 100);
        QVERIFY2(back.valid(), qPrintable(back.notice()));
        QCOMPARE(back.notes(), QList<Note>({notes[1], notes[0]}));
        // The log growing keeps them; one cut shorter than a note leaves them out.
        QVERIFY(Notes::forLog(log, 5000).valid());
        const Notes cut = Notes::forLog(log, 30);
        QVERIFY(!cut.valid() && cut.notes().isEmpty());
        QVERIFY(cut.notice().contains(QStringLiteral("past the log's end")));
    }

    // A save that cannot finish (no room, nowhere to put it) leaves the notes there were,
    // whole, and no half-written file beside them.
    void aFailedSaveKeepsTheOldNotes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::newRow("the disk fills up") << "full"
                                           << "File too large";
        QTest::newRow("a folder in the notes file's place") << "folder"
                                                            << "car.log.notes";
    }
    void aFailedSaveKeepsTheOldNotes()
    {
        QFETCH(QString, how);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("car.log"));
        const QByteArray old = "vantrel notes 1\n0 - old\n";
        if (how == u"folder")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("car.log.notes")));
        else
            writeFile(notes::pathFor(log), old);
        std::optional<FileSizeLimit> full;
        if (how == u"full")
            full.emplace(30);
        const Result<> saved = saveNotes(log, {{0, 1, QString(200, u'n')}});
        full.reset();
        QVERIFY(!saved);
        QVERIFY2(saved.why().contains(why), qPrintable(saved.why()));
        if (how == u"full")
            QCOMPARE(readFile(notes::pathFor(log)), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(),
                 how == u"full" ? 1 : 0);
    }

    void vcdHasTheSentAndNotedWords_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<QString>("words");
        // Sent before the first time: at 0; by a clock behind the log's: at the last time.
        QTest::newRow("at their times")
            << true
            << "0:DOB 5:x 1500:a\\x20b\\x0d\\x0a\",\\xff 2000:\\xc3\\xa9\\xe2\\x82\\xac 2000:z";
        QTest::newRow("at their lines without capture times")
            << false << "1:DOB 1:x 12:a\\x20b\\x0d\\x0a\",\\xff 12:\\xc3\\xa9\\xe2\\x82\\xac 20:z";
    }
    void vcdHasTheSentAndNotedWords()
    {
        QFETCH(bool, timed);
        const QByteArray vcd = exported(timed, false);
        QStringList words;
        QByteArray stamp = "0";
        for (const QByteArray& line : vcd.split('\n'))
            if (line.startsWith('s'))
                words << QString::fromLatin1(stamp + ':' + line.mid(1).chopped(2));
            else if (line.startsWith('#'))
                stamp = line.mid(1);
        QTEST(words.join(u' '), "words");
        QVERIFY(vcd.contains("$var string 1 m sent $end\n$var string 1 n note $end\n"));
    }

    void csvRowsHoldWhatWasSentSinceTheRowBefore()
    {
        const QByteArrayList rows = exported(true, true).split('\r');
        QVERIFY(rows[0].endsWith(",speed,sent,note") && rows[1].endsWith(",,\"DOB\nx\","));
        QVERIFY(rows[2].endsWith(",12,\"a b\\x0d\\x0a\"\",\\xff\",\xe9\\x{20ac}"));
    }
};

QTEST_GUILESS_MAIN(TestSentLog)
#include "tst_sentlog.moc"
