// The platform layer's own rules: settings strings, the CR LF model, timers, files.
#include "platform/crlftext.h"
#include "platform/filedialog.h"
#include "platform/filesystem.h"
#include "platform/linesettings.h"
#include "platform/serialcomm.h"
#include "platform/vtimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;

class TestPlatform : public QObject
{
    Q_OBJECT

    static QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("f.log"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

private Q_SLOTS:
    void settings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("default") << "9600,n,8,1" << true << "";
        QTest::newRow("upper-case parity, 1.5 stop bits") << "19200,E,7,1.5" << true << "";
        QTest::newRow("fast adapter") << "921600,n,8,2" << true << "";
        QTest::newRow("baud that is not a rate") << "9601,n,8,1" << false << "baud";
        QTest::newRow("baud that is not a number") << "fast,n,8,1" << false << "baud";
        QTest::newRow("unknown parity letter") << "9600,x,8,1" << false << "parity";
        QTest::newRow("nine data bits") << "9600,n,9,1" << false << "data bits";
        QTest::newRow("three stop bits") << "9600,n,8,3" << false << "stop bits";
        QTest::newRow("missing field") << "9600,n,8" << false << "baud,parity,data,stop";
        QTest::newRow("empty") << "" << false << "baud,parity,data,stop";
        QTest::newRow("data bits hiding junk behind a NUL")
            << QStringLiteral("9600,n,8%1junk,1").arg(QChar(0)) << false << "data bits";
        QTest::newRow("baud hiding junk behind a NUL")
            << QStringLiteral("9600%1x,n,8,1").arg(QChar(0)) << false << "baud";
    }
    void settings()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, mentions);
        LineSettings s;
        QString why;
        QCOMPARE(parseLineSettings(text, &s, &why), ok);
        if (ok) {
            LineSettings again;
            QVERIFY(parseLineSettings(s.toString(), &again, nullptr));
            QCOMPARE(again, s);
        } else {
            QVERIFY2(why.contains(mentions), qPrintable(why));
            QVERIFY(why.contains(text));
        }
    }

    void portNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("blanks around") << " 4 " << 4;
        QTest::newRow("not a number") << "COM2" << -1;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("too big") << "70000" << -1;
    }
    void portNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        int n = 0;
        QString why;
        QCOMPARE(parsePortNumber(text, &n, &why), number > 0);
        if (number > 0)
            QCOMPARE(n, number);
        else
            QVERIFY(!why.isEmpty());
    }

    void deviceMap()
    {
        qputenv("VANTREL_COM7", "/dev/pts/99");
        QCOMPARE(deviceForPort(7), QStringLiteral("/dev/pts/99"));
        qunsetenv("VANTREL_COM7");
        QCOMPARE(deviceForPort(7), QStringLiteral("/dev/ttyS6"));
    }

    void crlfView_data()
    {
        QTest::addColumn<QString>("truth");
        QTest::addColumn<QString>("view");
        QTest::newRow("CR LF is one break") << "AB\r\nC"
                                            << "AB\nC";
        QTest::newRow("lone CR is one break") << "AB\rC"
                                              << "AB\nC";
        QTest::newRow("controls stay one to one") << QStringLiteral("A\x01"
                                                                    "B")
                                                  << QStringLiteral("A\u2401B");
    }
    void crlfView()
    {
        QFETCH(QString, truth);
        QFETCH(QString, view);
        QCOMPARE(crlf::toView(truth), view);
        for (int v = 0; v <= view.size(); ++v)
            QCOMPARE(crlf::truthToView(truth, crlf::viewToTruth(truth, v)), v);
    }

    void pasteBreaksBecomeCrLf()
    {
        QCOMPARE(crlf::normaliseBreaks(QStringLiteral("a\nb\r\nc\rd")),
                 QStringLiteral("a\r\nb\r\nc\r\nd"));
    }

    void timerIntervalZeroNeverTicks()
    {
        VTimer t(0, true);
        QSignalSpy spy(&t, &VTimer::Timer);
        QVERIFY(spy.isValid());
        QTest::qWait(60);
        QCOMPARE(spy.count(), 0);
        t.setInterval(10);
        QTRY_VERIFY(spy.count() > 0);
    }

    void enablingAnEnabledTimerKeepsItsPeriod()
    {
        VTimer t(100, true);
        QSignalSpy spy(&t, &VTimer::Timer);
        for (int i = 0; i < 10; ++i) {
            QTest::qWait(20);
            t.setEnabled(true);
        }
        QVERIFY2(spy.count() > 0, "re-enabling restarted the period");
    }

    void offAndOnRestartsThePeriod()
    {
        VTimer t(150, true);
        QSignalSpy spy(&t, &VTimer::Timer);
        QTest::qWait(100);
        t.setEnabled(false);
        t.setEnabled(true);
        QTest::qWait(100);
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE(spy.count(), 1);
    }

    void qtFilter()
    {
        QCOMPARE(toQtFilter(QStringLiteral("Log Files (*.LOG)|*.log|All Files (*.*)|*.*")),
                 QStringLiteral("Log Files (*.LOG) (*.log);;All Files (*.*) (*)"));
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty file is at end at once") << QByteArray() << QStringList{};
        QTest::newRow("CR LF ends a line") << QByteArray("A\r\nB\r\n") << QStringList{"A", "B"};
        QTest::newRow("last line without end") << QByteArray("A\r\nB") << QStringList{"A", "B"};
        QTest::newRow("every byte comes back")
            << QByteArray("\x00\x01\xff\x80", 4)
            << QStringList{QString::fromLatin1("\x00\x01\xff\x80", 4)};
        QTest::newRow("empty lines") << QByteArray("\r\n\r\nX") << QStringList{"", "", "X"};
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        PosixFileSystem fs;
        QString why;
        QVERIFY(fs.openRead(1, writeFile(dir, bytes), &why));
        LineFile& file = *fs.lines(1);
        QStringList got;
        QString line;
        while (file.next(&line) == LineFile::Next::Line)
            got << line;
        QCOMPARE(file.next(&line), LineFile::Next::End);
        QCOMPARE(got, lines);
    }

    void longLineKeepsItsTailAcrossBlocks()
    {
        QTemporaryDir dir;
        QByteArray big(3 * LineFile::kBlockBytes + 17, 'x');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char('a' + i % 26);
        PosixFileSystem fs;
        QString why;
        QVERIFY(fs.openRead(1, writeFile(dir, big + "\r\nnext"), &why));
        LineFile& file = *fs.lines(1);
        QString line;
        QCOMPARE(file.next(&line), LineFile::Next::Line);
        QCOMPARE(line.size(), int(PosixFileSystem::kMaxLine));
        QCOMPARE(line, QString::fromLatin1(big.right(PosixFileSystem::kMaxLine)));
        QCOMPARE(file.next(&line), LineFile::Next::Line);
        QCOMPARE(line, QStringLiteral("next"));
        QCOMPARE(file.next(&line), LineFile::Next::End);
    }

    void crLfSplitAcrossBlocksIsOneLineEnd()
    {
        QTemporaryDir dir;
        QByteArray bytes(LineFile::kBlockBytes - 1, 'a');
        bytes += "\r\nB";
        PosixFileSystem fs;
        QString why;
        QVERIFY(fs.openRead(1, writeFile(dir, bytes), &why));
        LineFile& file = *fs.lines(1);
        QString line;
        QCOMPARE(file.next(&line), LineFile::Next::Line);
        QCOMPARE(file.next(&line), LineFile::Next::Line);
        QCOMPARE(line, QStringLiteral("B"));
    }

    void failuresCarryTheSystemsText()
    {
        PosixFileSystem fs;
        QString why;
        bool found = true;
        QVERIFY(fs.exists(QStringLiteral("/nonexistent/x.log"), &found, &why));
        QVERIFY(!found);
        QVERIFY(fs.exists(QStringLiteral("/tmp"), &found, &why));
        QVERIFY2(!found, "a folder is not a file");
        QVERIFY(!fs.openRead(1, QStringLiteral("/nonexistent/x.log"), &why));
        QVERIFY2(why.contains(QStringLiteral("No such file")), qPrintable(why));
        QVERIFY(!fs.openRead(1, QStringLiteral("/tmp"), &why));
        QVERIFY2(why.contains(QStringLiteral("directory")), qPrintable(why));
        QVERIFY(fs.openAppend(2, QStringLiteral("/dev/full"), &why));
        QVERIFY(!fs.write(2, "abc", &why));
        QVERIFY2(why.contains(QStringLiteral("No space")), qPrintable(why));
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
