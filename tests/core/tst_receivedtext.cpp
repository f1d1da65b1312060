// How one received piece is normalised and enters the terminal's text and the parse
// buffer.
#include "core/crlftext.h"
#include "core/receivedtext.h"

#include <QRandomGenerator>
#include <QTest>

using namespace vantrel;

namespace
{
// The parse buffer, with each change it went through.
struct Buffer final : TextField {
    QString value;
    QStringList changes;
    const QString& text() const override { return value; }
    void setText(const QString& text) override
    {
        if (text == value)
            return;
        value = text;
        changes << text;
    }
};

// A terminal and parse buffer fed piece by piece, as the receive path feeds them.
struct Feed {
    CrLfText term;
    Buffer buffer;
    QString logged;
    void operator()(const QString& piece)
    {
        logged += QString::fromLatin1(appendReceived(term, buffer, piece.toLatin1()));
    }
};

QString letters(int length)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text += QChar(QLatin1Char('a' + i % 26));
    return text;
}
} // namespace

class TestReceivedText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalise_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("leadingBackspace");
        QTest::newRow("received LF is dropped, CR gains one") << "AB\r\nC"
                                                              << "AB\r\nC" << false;
        QTest::newRow("LF alone is nothing") << "\n"
                                             << "" << false;
        QTest::newRow("CR at the end gains its LF") << "A\r"
                                                    << "A\r\n"
                                                    << false;
        QTest::newRow("LF opening a piece is dropped") << "\nB"
                                                       << "B" << false;
        QTest::newRow("bare CRs each gain one LF") << "\r\r"
                                                   << "\r\n\r\n"
                                                   << false;
        QTest::newRow("backspace takes the character before it") << "AB\bC"
                                                                 << "AC" << false;
        QTest::newRow("backspace opening a piece reaches the terminal") << "\bX"
                                                                        << "X" << true;
        QTest::newRow("two opening backspaces, one for the terminal") << "\b\bX"
                                                                      << "X" << true;
        QTest::newRow("backspace alone") << "\b"
                                         << "" << true;
        QTest::newRow("more backspaces than characters meet the start") << "AB\b\b\bC"
                                                                        << "C" << true;
        QTest::newRow("backspace takes a received LF first") << "A\n\bB"
                                                             << "AB" << false;
        QTest::newRow("backspace takes a CR, so no LF is added") << "A\r\bB"
                                                                 << "AB" << false;
        QTest::newRow("other control characters pass unchanged")
            << QString::fromLatin1("\x01\x1b[0m\x7f\xff\x00", 9)
            << QString::fromLatin1("\x01\x1b[0m\x7f\xff\x00", 9) << false;
    }
    void normalise()
    {
        QFETCH(QString, received);
        QFETCH(QString, text);
        QFETCH(bool, leadingBackspace);
        const NormalisedPiece piece = normalisePiece(received.toLatin1());
        QCOMPARE(piece.text, text.toLatin1());
        QCOMPARE(piece.leadingBackspace, leadingBackspace);
    }

    void append_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("terminal");
        QTest::addColumn<QString>("parse");
        QTest::newRow("CR at end of piece gains LF, LF opening the next is dropped")
            << "" << QStringList{"A\r", "\nB"} << "A\r\nB"
            << "A\r\nB";
        QTest::newRow("backspace opening a piece replaces the last character shown")
            << "Q" << QStringList{"\bX"} << "X"
            << "X";
        QTest::newRow("two opening backspaces still replace only one character")
            << "PQ" << QStringList{"\b\bX"} << "PX"
            << "X";
        QTest::newRow("backspace alone on an empty terminal changes nothing")
            << "" << QStringList{"\b"} << ""
            << "";
        QTest::newRow("backspace alone removes the last character")
            << "AB" << QStringList{"\b"} << "A"
            << "";
        QTest::newRow("opening backspace after CR LF leaves a lone CR")
            << "" << QStringList{"A\r", "\bB"} << "A\rB"
            << "A\r\nB";
    }
    void append()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, pieces);
        QFETCH(QString, terminal);
        QFETCH(QString, parse);
        Feed feed;
        feed.term.setText(before);
        for (const QString& p : pieces)
            feed(p);
        QCOMPARE(feed.term.text(), terminal);
        QCOMPARE(feed.buffer.text(), parse);
        QCOMPARE(feed.logged, parse); // the log takes what the parse buffer took
        QCOMPARE(feed.term.selStart(), feed.term.length());
    }

    void cut_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("after");
        QTest::newRow("16384 characters lose 4096 before the next piece") << 16384 << 12288 + 1;
        QTest::newRow("16383 characters are not cut") << 16383 << 16384;
        QTest::newRow("20000 characters are cut once only") << 20000 << 20000 - 4096 + 1;
    }
    void cut()
    {
        QFETCH(int, length);
        QFETCH(int, after);
        const QString text = letters(length);
        Feed feed;
        feed.term.setText(text);
        feed(QStringLiteral("Z"));
        QCOMPARE(feed.term.length(), after);
        QVERIFY(feed.term.text().endsWith(QLatin1Char('Z')));
        QCOMPARE(feed.term.text().left(5),
                 text.mid(length >= kTerminalLimit ? kTerminalCut : 0, 5));
    }

    void parseBufferKeepsTheLast418()
    {
        Feed feed;
        QString all;
        for (int i = 0; i < 30; ++i) {
            const QString piece = QStringLiteral("line %1 of text\r").arg(i);
            feed(piece);
            all += piece + QLatin1Char('\n');
            QVERIFY(feed.buffer.text().size() <= kParseBufferSize);
        }
        QCOMPARE(feed.buffer.text(), all.right(kParseBufferSize));
    }

    // The scanner looks at the buffer after each of the two changes.
    void parseBufferChangesTwicePerLongPiece()
    {
        Feed feed;
        feed.buffer.value = letters(kParseBufferSize);
        feed(QStringLiteral("new"));
        QCOMPARE(feed.buffer.changes.size(), 2);
        QCOMPARE(feed.buffer.changes[0], letters(kParseBufferSize) + QStringLiteral("new"));
        QCOMPARE(feed.buffer.changes[1], feed.buffer.changes[0].right(kParseBufferSize));
    }

    // Text without backspaces, under the cut: every chunking gives the same result.
    void sameBytesInEveryChunking_data()
    {
        QTest::addColumn<int>("cut");
        QTest::newRow("byte by byte") << 1;
        QTest::newRow("two at a time") << 2;
        QTest::newRow("three at a time") << 3;
        QTest::newRow("seven at a time") << 7;
        QTest::newRow("random cuts") << 0;
    }
    void sameBytesInEveryChunking()
    {
        QFETCH(int, cut);
        QString source;
        for (int i = 0; i < 200; ++i)
            source += QStringLiteral("VEL =   %1\r\n\rLF only\nX").arg(i % 300, 3);
        Feed whole;
        whole(source);
        Feed split;
        QRandomGenerator rng(cut + 1);
        for (int at = 0; at < source.size();) {
            const int n = cut ? cut : 1 + int(rng.bounded(64));
            split(source.mid(at, n));
            at += n;
        }
        QCOMPARE(split.term.text(), whole.term.text());
        QCOMPARE(split.buffer.text(), whole.buffer.text());
        QCOMPARE(split.logged, whole.logged);
    }
};

QTEST_MAIN(TestReceivedText)
#include "tst_receivedtext.moc"
