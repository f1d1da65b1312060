// The capture log: opening, replacing, appending, the byte format, write failures, and
// the capture times and what was sent written beside it.
#include "core/capturetimes.h"
#include "core/sentlog.h"
#include "diagnostics/carcommands.h"
#include "fakes.h"
#include "screens.h"
#include "shell/form1.h"
#include "terminal/serialterminal.h"
#include "testfiles.h"
#include "widgets/crlfedit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// Leaves a socket file at the path, as a running service would.
bool bindSocket(const QString& path)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

class TestCaptureLog : public QObject, public CarScreenFixture
{
    Q_OBJECT

    QTemporaryDir dir;

    void receive(const QString& text) { w->serial.receive(text); }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    static QByteArray timesOf(const QString& log) { return readFile(capturetimes::pathFor(log)); }
    // Pieces "<ms>:<text>" received at those wall-clock times.
    void receiveAt(const QStringList& pieces)
    {
        for (const QString& piece : pieces) {
            w->clock.wallMs = piece.section(u':', 0, 0).toLongLong();
            receive(piece.section(u':', 1));
        }
    }
    void openLogAt(const QString& p, qint64 ms)
    {
        w->clock.wallMs = ms;
        w->dialogScript->push_back(p);
        form->MOpenLog->trigger();
    }
    void closeLogAt(qint64 ms)
    {
        w->clock.wallMs = ms;
        form->MCloseLog->trigger();
    }

private Q_SLOTS:
    void init() { openScreen(); }
    void cleanup() { closeScreen(); }

    void cancelledDialogChangesNothing()
    {
        w->dialogScript->push_back(QString());
        form->MOpenLog->trigger();
        QCOMPARE(form->terminal().captureLog().handle(), 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrel Car"));
        QVERIFY(form->MOpenLog->isEnabled());
        QVERIFY(!form->MCloseLog->isEnabled());
    }

    void newLogHoldsTheNormalisedBytes()
    {
        const QString p = path("new.log");
        w->dialogScript->push_back(p);
        form->MOpenLog->trigger();
        QVERIFY(form->terminal().captureLog().handle() != 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("Comm Terminal - new.log"));
        QVERIFY(!form->MOpenLog->isEnabled());
        QVERIFY(form->MCloseLog->isEnabled());
        QVERIFY(w->boxes.shown.isEmpty());
        for (const char* piece :
             {"OK\r\nX", "A\nB", "12", "34", "\bQ", "CR\r", "\n", "\x01\xff\x7f"})
            receive(QString::fromLatin1(piece));
        // Each piece is in the file as soon as it has been handled.
        QCOMPARE(readFile(p), QByteArray("OK\r\nXAB1234QCR\r\n\x01\xff\x7f"));
        form->MCloseLog->trigger();
        QCOMPARE(form->windowTitle(), QStringLiteral("Comm Terminal"));
        QVERIFY(form->MOpenLog->isEnabled());
        QVERIFY(!form->MCloseLog->isEnabled());
        receive(QStringLiteral("after"));
        QCOMPARE(readFile(p), QByteArray("OK\r\nXAB1234QCR\r\n\x01\xff\x7f"));
    }

    void existingFile_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("No appends to the old contents")
            << QList<int>{mb::No} << QByteArray("oldnew") << 1;
        QTest::newRow("Yes starts an empty file") << QList<int>{mb::Yes} << QByteArray("new") << 1;
        QTest::newRow("Cancel shows the dialog again")
            << QList<int>{mb::Cancel, mb::No} << QByteArray("oldnew") << 2;
    }
    void existingFile()
    {
        QFETCH(QList<int>, answers);
        QFETCH(QByteArray, expected);
        QFETCH(int, dialogs);
        const QString p = path("old.log");
        writeFile(p, "old");
        for (int i = 0; i < dialogs; ++i)
            w->dialogScript->push_back(p);
        w->boxes.answers.assign(answers.begin(), answers.end());
        form->MOpenLog->trigger();
        QCOMPARE(w->boxes.shown.size(), answers.size());
        QCOMPARE(w->boxes.shown[0].text, QStringLiteral("Replace existing file - %1?").arg(p));
        QCOMPARE(w->boxes.shown[0].buttons, mb::YesNoCancelQuestion);
        QVERIFY(w->dialogScript->empty());
        receive(QStringLiteral("new"));
        QCOMPARE(readFile(p), expected);
    }

    void openFailureIsShownAndLoggingStaysOff()
    {
        w->dialogScript->push_back(path("no-such-folder/x.log"));
        form->MOpenLog->trigger();
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown[0].buttons, mb::OkExclamation);
        QVERIFY2(w->boxes.shown[0].text.contains(QStringLiteral("No such file")),
                 qPrintable(w->boxes.shown[0].text));
        QCOMPARE(form->terminal().captureLog().handle(), 0);
        QVERIFY(form->MOpenLog->isEnabled());
    }

    // Opening must never wait for a reader; what cannot hold a log is named with why.
    void pathsThatCannotHoldALogAreRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("named pipe nobody reads") << "fifo"
                                                 << "named pipe";
        QTest::newRow("socket") << "socket"
                                << "socket";
        QTest::newRow("folder") << "folder"
                                << "Is a directory";
    }
    void pathsThatCannotHoldALogAreRefusedAtOnce()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        QTemporaryDir here;
        const QString p = here.filePath(QStringLiteral("not-a-file"));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(p).constData(), 0644), 0);
        else if (kind == u"socket")
            QVERIFY(bindSocket(p));
        else
            QVERIFY(QDir(here.path()).mkdir(QStringLiteral("not-a-file")));
        w->dialogScript->push_back(p);
        form->MOpenLog->trigger();
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown[0].buttons, mb::OkExclamation);
        QVERIFY2(w->boxes.shown[0].text.contains(p), qPrintable(w->boxes.shown[0].text));
        QVERIFY2(w->boxes.shown[0].text.contains(why), qPrintable(w->boxes.shown[0].text));
        QCOMPARE(form->terminal().captureLog().handle(), 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrel Car"));
    }

    // A log deleted or moved while open is found at the next piece; Retry makes it
    // again at the same path and goes on with that piece, Cancel closes the log.
    void logThatLeftItsPathIsMadeAgainOrClosed_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QByteArray>("atPath");
        QTest::addColumn<bool>("stillLogging");
        QTest::newRow("deleted, Retry")
            << "delete" << QList<int>{mb::Retry} << QByteArray("twothree") << true;
        QTest::newRow("moved, Retry")
            << "move" << QList<int>{mb::Retry} << QByteArray("twothree") << true;
        QTest::newRow("deleted, Cancel")
            << "delete" << QList<int>{mb::Cancel} << QByteArray() << false;
        QTest::newRow("folder removed, Retry fails, Cancel")
            << "rmdir" << QList<int>{mb::Retry, mb::Cancel} << QByteArray() << false;
    }
    void logThatLeftItsPathIsMadeAgainOrClosed()
    {
        QFETCH(QString, how);
        QFETCH(QList<int>, answers);
        QFETCH(QByteArray, atPath);
        QFETCH(bool, stillLogging);
        QTemporaryDir here;
        QVERIFY(QDir(here.path()).mkdir(QStringLiteral("sub")));
        const QString p = here.filePath(QStringLiteral("sub/car.log"));
        w->dialogScript->push_back(p);
        form->MOpenLog->trigger();
        receive(QStringLiteral("one"));
        if (how == u"move")
            QVERIFY(QFile::rename(p, here.filePath(QStringLiteral("sub/moved.log"))));
        else
            QVERIFY(QFile::remove(p));
        if (how == u"rmdir") // with the capture times beside the log
            QVERIFY(QDir(here.filePath(QStringLiteral("sub"))).removeRecursively());
        w->boxes.answers.assign(answers.begin(), answers.end());
        receive(QStringLiteral("two"));
        QCOMPARE(w->boxes.shown.size(), answers.size());
        QCOMPARE(w->boxes.shown[0].buttons, mb::RetryCancelStop);
        QVERIFY2(w->boxes.shown[0].text.contains(p), qPrintable(w->boxes.shown[0].text));
        QVERIFY2(w->boxes.shown[0].text.contains(QStringLiteral("deleted or moved")),
                 qPrintable(w->boxes.shown[0].text));
        if (how == u"rmdir")
            QVERIFY2(w->boxes.shown[1].text.contains(QStringLiteral("No such file")),
                     qPrintable(w->boxes.shown[1].text));
        receive(QStringLiteral("three"));
        QCOMPARE(form->terminal().captureLog().handle() != 0, stillLogging);
        if (atPath.isNull())
            QVERIFY2(!QFile::exists(p), "a log nobody asked for was made again");
        else
            QCOMPARE(readFile(p), atPath);
        if (how == u"move")
            QCOMPARE(readFile(here.filePath(QStringLiteral("sub/moved.log"))), QByteArray("one"));
    }

    void fullDeviceCancelClosesTheLogAndTheTextStillShows()
    {
        w->dialogScript->push_back(QStringLiteral("/dev/full"));
        form->MOpenLog->trigger();
        QVERIFY(form->terminal().captureLog().handle() != 0);
        w->boxes.answers = {mb::Cancel};
        receive(QStringLiteral("lost?\r"));
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown[0].buttons, mb::RetryCancelStop);
        QVERIFY(w->boxes.shown[0].text.contains(QStringLiteral("No space left")));
        QCOMPARE(form->terminal().captureLog().handle(), 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("Comm Terminal"));
        QCOMPARE(form->Term->text(), QStringLiteral("lost?\r\n"));
        receive(QStringLiteral("x"));
        QCOMPARE(w->boxes.shown.size(), 1);
    }

    void fullDeviceRetryAsksAgain()
    {
        w->dialogScript->push_back(QStringLiteral("/dev/full"));
        form->MOpenLog->trigger();
        w->boxes.answers = {mb::Retry, mb::Retry, mb::Cancel};
        receive(QStringLiteral("x"));
        QCOMPARE(w->boxes.shown.size(), 3);
        QCOMPARE(form->terminal().captureLog().handle(), 0);
    }

    void retryAfterAFailureWritesThePieceOnce()
    {
        FailingFiles flaky;
        Services s = w->services();
        s.files = &flaky;
        openScreenOn(s);
        const QString p = path("flaky.log");
        w->dialogScript->push_back(p);
        form->MOpenLog->trigger();
        receive(QStringLiteral("first "));
        flaky.failures = 2;
        w->boxes.answers = {mb::Retry, mb::Retry};
        receive(QStringLiteral("second piece "));
        receive(QStringLiteral("third"));
        QCOMPARE(w->boxes.shown.size(), 2);
        QCOMPARE(readFile(p), QByteArray("first second piece third"));
        form.reset();
    }

    // A record goes before a piece when a tenth of a second or more has passed since the
    // last one (the opening counts as one): each byte's time is at most that late.
    void timesRecordAPieceATenthOfASecondAfterTheLast_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QByteArray>("records");
        QTest::newRow("pieces within a tenth of the opening get none")
            << QStringList{"5000:ab", "5099:cd"} << QByteArray();
        QTest::newRow("a piece a tenth after the last record gets one")
            << QStringList{"5000:ab", "5099:cd", "5100:ef", "5150:g"} << QByteArray("4 5100\n");
        QTest::newRow("a piece after a quiet spell gets one at its offset")
            << QStringList{"5020:ab\r", "9000:cd"} << QByteArray("4 9000\n");
        QTest::newRow("a clock set back counts as time passed, its time never goes back")
            << QStringList{"5200:ab", "4000:cd", "4050:ef", "4100:g"}
            << QByteArray("0 5200\n2 5200\n6 5200\n");
    }
    void timesRecordAPieceATenthOfASecondAfterTheLast()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QByteArray, records);
        QTemporaryDir here;
        const QString p = here.filePath(QStringLiteral("timed.log"));
        openLogAt(p, 5000);
        receiveAt(pieces);
        const qint64 size = QFileInfo(p).size();
        closeLogAt(9500);
        QCOMPARE(timesOf(p), "vantrel capture times 1\nopen 0 5000\n" + records + "close " +
                                 QByteArray::number(size) + " 9500\n");
        QVERIFY(CaptureTimes::forLog(p, size).valid());
        QCOMPARE(form->Label1->text(), QString());
    }

    // Replacing a log starts its times anew; appending adds a run that goes on from the
    // log's size, so the times still match it; times begun on a log that held bytes
    // before do not, and say so.
    void timesFollowTheLogWhenItIsReplacedOrAppendedTo_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("hadTimes");
        QTest::addColumn<QByteArray>("times");
        QTest::addColumn<QString>("notice");
        const QByteArray old = "vantrel capture times 1\nopen 0 100\nclose 3 200\n";
        QTest::newRow("No appends a run at the log's size")
            << int(mb::No) << true << old + "open 3 5000\nclose 6 6000\n"
            << "";
        QTest::newRow("Yes starts the times anew")
            << int(mb::Yes) << true
            << QByteArray("vantrel capture times 1\nopen 0 5000\nclose 3 6000\n") << "";
        QTest::newRow("No on a log without times begins times that do not match it")
            << int(mb::No) << false
            << QByteArray("vantrel capture times 1\nopen 3 5000\nclose 6 6000\n")
            << "capture times of old.log do not match it (its first run does not start at "
               "its beginning): lines are numbered instead";
    }
    void timesFollowTheLogWhenItIsReplacedOrAppendedTo()
    {
        QFETCH(int, answer);
        QFETCH(bool, hadTimes);
        QFETCH(QByteArray, times);
        QFETCH(QString, notice);
        QTemporaryDir here;
        const QString p = here.filePath(QStringLiteral("old.log"));
        writeFile(p, "old");
        if (hadTimes)
            writeFile(capturetimes::pathFor(p),
                      "vantrel capture times 1\nopen 0 100\nclose 3 200\n");
        w->boxes.answers = {answer};
        openLogAt(p, 5000);
        receive(QStringLiteral("new"));
        closeLogAt(6000);
        QCOMPARE(timesOf(p), times);
        const CaptureTimes read = CaptureTimes::forLog(p, QFileInfo(p).size());
        QCOMPARE(read.notice(), notice);
        QCOMPARE(read.valid(), notice.isEmpty());
    }

    // Times that cannot be written stop for the run, say so once in the status line, and
    // never stop or hold up the log.
    void timesThatCannotBeWrittenStopAndTheLogGoesOn_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("stopped");
        const QString times = capturetimes::kSuffix;
        const QString sent = sent::kSuffix;
        const QString timesNews = QStringLiteral("Capture times stopped");
        const QString sentNews = QStringLiteral("Record of what was sent stopped");
        QTest::newRow("a folder in the times file's place")
            << "folder"
            << "Is a directory" << times << timesNews;
        QTest::newRow("a full disk for the times file") << "full"
                                                        << "File too large" << times << timesNews;
        QTest::newRow("a device in its place")
            << "device"
            << "it is a device, not a file" << times << timesNews;
        QTest::newRow("a folder in the sent file's place") << "folder"
                                                           << "Is a directory" << sent << sentNews;
        QTest::newRow("a full disk for the sent file") << "full"
                                                       << "File too large" << sent << sentNews;
    }
    void timesThatCannotBeWrittenStopAndTheLogGoesOn()
    {
        QFETCH(QString, how);
        QFETCH(QString, why);
        QFETCH(QString, suffix);
        QFETCH(QString, stopped);
        FailingFiles flaky;
        flaky.onlyEnding = suffix;
        Services s = w->services();
        s.files = &flaky;
        openScreenOn(s);
        QTemporaryDir here;
        const QString p = here.filePath(QStringLiteral("car.log"));
        if (how == u"folder")
            QVERIFY(QDir(here.path()).mkdir(QStringLiteral("car.log") + suffix));
        else if (how == u"device")
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), p + suffix));
        else
            flaky.failures = 1;
        openLogAt(p, 5000);
        QVERIFY(form->terminal().captureLog().handle() != 0);
        QCOMPARE(form->Label1->text(), stopped);
        const QString told = form->Label1->toolTip();
        QVERIFY2(told.contains(why) && told.contains(p + suffix), qPrintable(told));
        QCOMPARE(form->Label1->accessibleDescription(), QStringLiteral("Label1: ") + told);
        form->Label1->clear();
        flaky.failures = 5;
        receiveAt({QStringLiteral("6000:one "), QStringLiteral("7000:two")});
        form->terminal().captureLog().sent(sent::Source::Button, "stu\r");
        closeLogAt(8000);
        QCOMPARE(readFile(p), QByteArray("one two"));
        QVERIFY(w->boxes.shown.isEmpty());
        QCOMPARE(form->Label1->text(), QString()); // said once
        QCOMPARE(flaky.failures, 5);               // nothing more was tried
        form.reset();
    }

    // Times that stop end their run at the failed record, at 0 for a log emptied under them.
    void timesThatStopEndTheirRun_data()
    {
        QTest::addColumn<bool>("emptied");
        QTest::addColumn<QByteArray>("last");
        QTest::newRow("the log emptied by hand") << true << QByteArray("stop 0 5220\n");
        QTest::newRow("a record that cannot be written") << false << QByteArray("stop 13 5800\n");
    }
    void timesThatStopEndTheirRun()
    {
        QFETCH(bool, emptied);
        QFETCH(QByteArray, last);
        FailingFiles flaky;
        flaky.onlyEnding = QLatin1String(capturetimes::kSuffix);
        Services s = w->services();
        s.files = &flaky;
        openScreenOn(s);
        const QString p = dir.filePath(QLatin1String(QTest::currentDataTag()));
        openLogAt(p, 5000);
        receiveAt({QStringLiteral("5000:abcdef"), QStringLiteral("5200:gh")});
        if (emptied)
            QVERIFY(QFile::resize(p, 0));
        flaky.failures = emptied ? 0 : 1;
        receiveAt({"5210:ijk", "5220:lm", "5800:no"});
        closeLogAt(6000);
        QVERIFY2(timesOf(p).endsWith(last), timesOf(p).constData());
        form.reset();
    }

    // Each way the program sends is recorded with its source, at the log's size then;
    // polls of one text become runs, cut where polling paused or after a minute.
    void whatIsSentIsRecordedBesideTheLog()
    {
        w->serial.open = true;
        const QString p = path("sent.log");
        openLogAt(p, 1000);
        receiveAt({QStringLiteral("1100:OK\r\n")});
        form->Command4->click();
        int key = 'a';
        form->terminal().Term_KeyPress(key);
        form->Text3->setText(QStringLiteral("flt"));
        form->commands().Text3_KeyDown(13, 0);
        // Polls every 250 ms for 70 s, a pause, two more; a button in between.
        for (qint64 ms = 2000; ms <= 72000; ms += 250) {
            w->clock.wallMs = ms;
            form->commands().Timer2_Timer();
        }
        receiveAt({QStringLiteral("80000:later")});
        w->clock.wallMs = 80000;
        form->Command4->click();
        for (qint64 ms : {90000, 90250}) {
            w->clock.wallMs = ms;
            form->commands().Timer2_Timer();
        }
        closeLogAt(95000);
        const SentLog log = SentLog::forLog(p, QFileInfo(p).size());
        QVERIFY2(log.valid(), qPrintable(log.notice()));
        QStringList got;
        for (const SentPiece& s : log.pieces())
            got << QStringLiteral("%1 %2 %3 %4 %5 %6")
                       .arg(QString::fromLatin1(sent::sourceWord(s.source)))
                       .arg(s.offset)
                       .arg(s.ms)
                       .arg(s.count)
                       .arg(s.lastMs)
                       .arg(QString::fromLatin1(s.text).toHtmlEscaped().replace(u'\r', u'|'));
        QCOMPARE(got, QStringList({"button 4 1100 1 1100 stu|", "key 4 1100 1 1100 a",
                                   "box 4 1100 1 1100 flt|", "poll 4 2000 241 62000 pmii|",
                                   "poll 4 62250 40 72000 pmii|", "button 9 80000 1 80000 stu|",
                                   "poll 9 90000 2 90250 pmii|"}));
        QCOMPARE(log.count(sent::Source::Poll), 283);
    }

    void unloadClosesTheLogFirst()
    {
        const QString p = path("u.log");
        w->dialogScript->push_back(p);
        form->MOpenLog->trigger();
        const int handle = form->terminal().captureLog().handle();
        int cancel = 0;
        form->terminal().Form_Unload(cancel);
        QVERIFY(!w->files.isOpen(handle));
        QCOMPARE(w->exit.calls, 1);
    }
};

QTEST_MAIN(TestCaptureLog)
#include "tst_capturelog.moc"
