// The capture log: opening, replacing, appending, the byte format, write failures.
#include "fakes.h"
#include "screens.h"
#include "shell/form1.h"
#include "terminal/serialterminal.h"
#include "testfiles.h"
#include "widgets/crlfedit.h"

#include <QAction>
#include <QDir>
#include <QFile>
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
        if (how == u"rmdir")
            QVERIFY(QDir(here.path()).rmdir(QStringLiteral("sub")));
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
