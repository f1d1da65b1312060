// Capture bundles: a log and what lies beside it go in and come out byte for byte; a
// bundle from elsewhere never writes outside the chosen folder, past its limit, or over
// a file, and a damaged one is named with its damaged part.
#include "core/bundle.h"
#include "testfiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <archive.h>
#include <archive_entry.h>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// One entry of a crafted bundle: a plain file, or a link to target when one is given.
struct Part {
    QByteArray name;
    QByteArray bytes;
    QByteArray linkTo;
};

void craft(const QString& path, const QList<Part>& parts)
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    QCOMPARE(archive_write_open_filename(a, QFile::encodeName(path).constData()), ARCHIVE_OK);
    for (const Part& part : parts) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, part.name.constData());
        archive_entry_set_perm(e, 0644);
        if (part.linkTo.isEmpty()) {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_size(e, part.bytes.size());
        } else {
            archive_entry_set_filetype(e, AE_IFLNK);
            archive_entry_set_symlink(e, part.linkTo.constData());
        }
        QCOMPARE(archive_write_header(a, e), ARCHIVE_OK);
        archive_write_data(a, part.bytes.constData(), size_t(part.bytes.size()));
        archive_entry_free(e);
    }
    archive_write_free(a);
}

QByteArray noise(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    QRandomGenerator gen(7);
    for (char& c : bytes)
        c = char(gen.bounded(256));
    return bytes;
}
} // namespace

class TestBundle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filesComeBackByteForByte()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("car.log"));
        const QStringList suffixes{{}, ".times", ".sent", ".notes"};
        for (const QString& s : suffixes)
            writeFile(log + s, noise(70000) + s.toLatin1());
        const QString zip = dir.filePath(QStringLiteral("car.zip"));
        QVERIFY(!bundle::pack(log, log + QStringLiteral(".notes")).ok());
        QVERIFY(bundle::pack(log, zip).ok());
        QVERIFY(bundle::isBundle(zip));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
        const QString out = dir.filePath(QStringLiteral("out"));
        const Result<bundle::Unpacked> back = bundle::unpack(zip, out);
        QVERIFY2(back.ok(), qPrintable(back.why()));
        QCOMPARE(back->log, out + QStringLiteral("/car.log"));
        for (const QString& s : suffixes)
            QCOMPARE(readFile(out + QStringLiteral("/car.log") + s), readFile(log + s));
        // Unpacked again it leaves the files there alone.
        writeFile(out + QStringLiteral("/car.log.notes"), "mine");
        QFile::remove(out + QStringLiteral("/car.log"));
        const Result<bundle::Unpacked> again = bundle::unpack(zip, out);
        QVERIFY(!again.ok());
        QVERIFY2(again.why().contains(QStringLiteral("File exists")), qPrintable(again.why()));
        QCOMPARE(readFile(out + QStringLiteral("/car.log.notes")), QByteArray("mine"));
        QVERIFY(!QFile::exists(out + QStringLiteral("/car.log")));
    }

    void hostileBundlesWriteNothing_data()
    {
        QTest::addColumn<QList<Part>>("parts");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("why");
        const Part log{"car.log", "OK\r\n", {}};
        QTest::newRow("a path up and out")
            << QList<Part>{log, {"../car.log.notes", "x", {}}} << bundle::kExpandLimit
            << "an entry outside its own folder (\"../car.log.notes\")";
        QTest::newRow("an absolute path")
            << QList<Part>{{"/tmp/car.log", "x", {}}} << bundle::kExpandLimit
            << "an entry outside its own folder (\"/tmp/car.log\")";
        QTest::newRow("a folder inside")
            << QList<Part>{{"sub/car.log", "x", {}}} << bundle::kExpandLimit
            << "an entry outside its own folder (\"sub/car.log\")";
        QTest::newRow("a link to elsewhere")
            << QList<Part>{log, {"car.log.notes", {}, "/etc/passwd"}} << bundle::kExpandLimit
            << "a link (\"car.log.notes\")";
        QTest::newRow("a file not of the capture")
            << QList<Part>{log, {"run.sh", "x", {}}} << bundle::kExpandLimit
            << "two logs (\"car.log\" and \"run.sh\")";
        QTest::newRow("a small file that unpacks past the limit")
            << QList<Part>{{"car.log", QByteArray(4 << 20, '\0'), {}}} << qint64(64 << 10)
            << "claims to unpack to more than its limit of 65536 bytes";
    }
    void hostileBundlesWriteNothing()
    {
        QFETCH(QList<Part>, parts);
        QFETCH(qint64, limit);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString zip = dir.filePath(QStringLiteral("in.zip"));
        craft(zip, parts);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
        const Result<bundle::Unpacked> got =
            bundle::unpack(zip, dir.filePath(QStringLiteral("out")), limit);
        QVERIFY(!got.ok());
        QVERIFY2(got.why().contains(why), qPrintable(got.why()));
        QVERIFY2(got.why().contains(zip), qPrintable(got.why()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList({"in.zip", "out"}));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("out")))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList());
    }

    // A bundle cut short says which part is damaged, and leaves nothing half unpacked.
    void truncatedBundleNamesItsDamagedPart()
    {
        QTemporaryDir dir;
        const QString zip = dir.filePath(QStringLiteral("cut.zip"));
        craft(zip, {{"car.log", noise(50000), {}}, {"car.log.notes", noise(50000), {}}});
        const QByteArray whole = readFile(zip);
        writeFile(zip, whole.first(whole.size() * 3 / 4));
        const Result<bundle::Unpacked> got = bundle::unpack(zip, dir.path());
        QVERIFY(!got.ok());
        QVERIFY2(got.why().startsWith(QStringLiteral("The bundle %1 is damaged").arg(zip)),
                 qPrintable(got.why()));
        QVERIFY2(got.why().contains(QStringLiteral("\"car.log.notes\"")), qPrintable(got.why()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"cut.zip"}));
    }
};

QTEST_GUILESS_MAIN(TestBundle)
#include "tst_bundle.moc"
