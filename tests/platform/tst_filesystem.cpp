// The file system's failures carry the operating system's own words, and the log
// dialog's filter reads in the toolkit's form.
#include "platform/filedialog.h"
#include "platform/filesystem.h"

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

    void logFilterInTheToolkitsForm()
    {
        QCOMPARE(toQtFilter(QStringLiteral("Log Files (*.LOG)|*.log|All Files (*.*)|*.*")),
                 QStringLiteral("Log Files (*.LOG) (*.log);;All Files (*.*) (*)"));
    }
};

QTEST_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
