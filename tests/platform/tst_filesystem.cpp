// The file system's failures carry the operating system's own words, and the log
// dialog's filter reads in the toolkit's form.
#include "platform/filedialog.h"
#include "platform/filesystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;

class TestFileSystem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failuresCarryTheSystemsText()
    {
        PosixFileSystem fs;
        const Result<bool> missing = fs.exists(QStringLiteral("/nonexistent/x.log"));
        QVERIFY(missing);
        QVERIFY(!*missing);
        const Result<bool> folder = fs.exists(QStringLiteral("/tmp"));
        QVERIFY(folder);
        QVERIFY2(!*folder, "a folder is not a file");
        Result<> r = fs.openRead(1, QStringLiteral("/nonexistent/x.log"));
        QVERIFY2(r.why().contains(QStringLiteral("No such file")), qPrintable(r.why()));
        r = fs.openRead(1, QStringLiteral("/tmp"));
        QVERIFY2(r.why().contains(QStringLiteral("directory")), qPrintable(r.why()));
        QVERIFY(fs.openAppend(2, QStringLiteral("/dev/full")));
        r = fs.write(2, "abc");
        QVERIFY2(r.why().contains(QStringLiteral("No space")), qPrintable(r.why()));
    }

    // Rotated by copy and truncate, or emptied by hand while logging: the next piece goes
    // at the new end, with no gap of zeros where the old text was.
    void aLogCutShortGoesOnAtItsNewEnd_data()
    {
        QTest::addColumn<qint64>("cutTo");
        QTest::newRow("emptied") << qint64(0);
        QTest::newRow("cut to its first bytes") << qint64(3);
    }
    void aLogCutShortGoesOnAtItsNewEnd()
    {
        QFETCH(qint64, cutTo);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("capture.log"));
        PosixFileSystem fs;
        QVERIFY(fs.openAppend(1, path));
        QVERIFY(fs.write(1, QByteArray(1000, 'a')));
        QVERIFY(QFile::resize(path, cutTo));
        QVERIFY(fs.write(1, "after\r\n"));
        QVERIFY(fs.write(1, "more"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(int(cutTo), 'a') + "after\r\nmore");
    }

    void logFilterInTheToolkitsForm()
    {
        QCOMPARE(toQtFilter(QStringLiteral("Log Files (*.LOG)|*.log|All Files (*.*)|*.*")),
                 QStringLiteral("Log Files (*.LOG) (*.log);;All Files (*.*) (*)"));
    }
};

QTEST_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
