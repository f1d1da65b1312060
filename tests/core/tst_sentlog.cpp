// What was sent and the notes beside a log: used only when they match the log, with a
// notice otherwise; a crash leaves either the whole old notes or the whole new ones.
#include "core/notes.h"
#include "core/sentlog.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>

using namespace vantrel;
using namespace vantrel::test;

class TestSentLog : public QObject
{
    Q_OBJECT

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
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        rlimit cut = before;
        cut.rlim_cur = how == u"full" ? 30 : before.rlim_cur;
        ::setrlimit(RLIMIT_FSIZE, &cut);
        const Result<> saved = saveNotes(log, {{0, 1, QString(200, u'n')}});
        ::setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(!saved);
        QVERIFY2(saved.why().contains(why), qPrintable(saved.why()));
        if (how == u"full")
            QCOMPARE(readFile(notes::pathFor(log)), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(),
                 how == u"full" ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestSentLog)
#include "tst_sentlog.moc"
