// What the signal exports hold beside the dumps: the commands sent and the notes, at their
// times or lines, escaped so no text can end a VCD word or a CSV field.
#include "core/signalexport.h"
#include "testfiles.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
constexpr qint64 kStart = 1767225600000;
}

class TestSignalExport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("c.log"));
    qint64 second = 0; // where the second dump begins

    // A line, a dump of 0s, a speed, a dump of 1s; the things sent and a note beside it.
    std::shared_ptr<const LogIndex> write(bool timed, const QByteArray& sentLast = {})
    {
        QByteArray log = "hello\r\n" + pmiDump([](int, int) { return u'0'; }).toLatin1();
        log += "VEL =   12\r\n";
        second = log.size();
        log += pmiDump([](int, int) { return u'1'; }).toLatin1();
        const QByteArray at = QByteArray::number(second), end = QByteArray::number(log.size());
        const auto ms = [](qint64 d) { return QByteArray::number(kStart + d); };
        writeFile(path, log);
        QFile::remove(path + QStringLiteral(".times"));
        if (timed)
            writeFile(path + QStringLiteral(".times"), "vantrel capture times 1\nopen 0 " + ms(0) +
                                                           '\n' + at + ' ' + ms(2000) + "\nclose " +
                                                           end + ' ' + ms(3000) + '\n');
        writeFile(path + QStringLiteral(".sent"),
                  "vantrel sent 1\nopen 0 " + ms(0) + "\nbutton 0 " + ms(-100) + " DOB\nkey 3 " +
                      ms(5) + " x\npolls 7 " + ms(10) + " 5 20 " + ms(900) + " STAT\nbox " + at +
                      ' ' + ms(1500) + " a b\\x0d\\x0a\",\\xff\n" +
                      (sentLast.isEmpty() ? "key " + end + ' ' + ms(900) + " z\n" : sentLast));
        writeFile(path + QStringLiteral(".notes"),
                  "vantrel notes 1\n" + at + " - noise \xc3\xa9 \xe2\x82\xac\n");
        auto built = buildLogIndex(path);
        return built ? *built : nullptr;
    }

private Q_SLOTS:
    void vcdHasTheSentAndNotedWords_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<QString>("words");
        // Sent before the first time: at 0; a clock behind the log's: at the last time.
        QTest::newRow("at their times") << true
                                        << "0:DOB 5:x 1500:a\\x20b\\x0d\\x0a\",\\xff "
                                           "2000:noise\\x20\\xc3\\xa9\\x20\\xe2\\x82\\xac 2000:z";
        QTest::newRow("at their lines without capture times")
            << false
            << "1:DOB 1:x 12:a\\x20b\\x0d\\x0a\",\\xff 12:noise\\x20\\xc3\\xa9\\x20\\xe2\\x82\\xac "
               "20:z";
    }
    void vcdHasTheSentAndNotedWords()
    {
        QFETCH(bool, timed);
        const auto index = write(timed);
        QVERIFY(index && index->count(LogIndex::Event::Dump) == 2);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY(writeVcd(*index, out, QStringLiteral("t"), ExportExtras::beside(*index)));
        QStringList words;
        QByteArray stamp = "0";
        for (const QByteArray& line : out.data().split('\n'))
            if (line.startsWith('#'))
                stamp = line.mid(1);
            else if (line.startsWith('s'))
                words << QString::fromLatin1(stamp + ':' + line.mid(1).chopped(2));
        QTEST(words.join(u' '), "words");
        QVERIFY(out.data().contains("$var string 1 m sent $end\n$var string 1 n note $end\n"));
    }

    void csvRowsHoldWhatWasSentSinceTheRowBefore()
    {
        const auto index = write(true);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY(writeCsv(*index, out, ExportExtras::beside(*index)));
        const QByteArrayList rows = out.data().split('\r');
        QVERIFY(rows[0].endsWith(",speed,sent,note"));
        QVERIFY2(rows[1].endsWith(",,\"DOB\nx\","), rows[1].right(20).constData());
        QVERIFY(rows[2].endsWith(",12,\"a b\\x0d\\x0a\"\",\\xff\",noise \xe9 \\x{20ac}"));
    }

    // A file that does not match the log is no part of the export, which says why.
    void extrasOnlyWhereTheyMatchTheLog()
    {
        const auto index = write(true, "key 99999 1 z\n");
        const ExportExtras extras = ExportExtras::beside(*index);
        QVERIFY(!extras.sent && extras.notes);
        QCOMPARE(extras.notices.size(), 1);
        QVERIFY2(extras.notices[0].contains(QStringLiteral("c.log")),
                 qPrintable(extras.notices[0]));
    }
};

QTEST_GUILESS_MAIN(TestSignalExport)
#include "tst_signalexport.moc"
