// What one received piece does to the terminal, the parse buffer and the capture log.
#include "core/crlftext.h"
#include "core/receivedtext.h"
#include "fakes.h"
#include "screens.h"
#include "shell/form1.h"
#include "terminal/serialterminal.h"
#include "widgets/crlfedit.h"
#include "widgets/textbox.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestAppendToTerminal : public QObject, public CarScreenFixture
{
    Q_OBJECT

    void feed(const QString& text)
    {
        QString t = text;
        form->terminal().AppendToTerminal(*form->Term, t);
    }

private Q_SLOTS:
    void init() { openScreen(false); }
    void cleanup() { closeScreen(); }

    void pieces_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("terminal");
        QTest::addColumn<QString>("parse");

        QTest::newRow("received LF is dropped, CR gains one")
            << "" << QStringList{"AB\r\nC"} << "AB\r\nC"
            << "AB\r\nC";
        QTest::newRow("LF alone adds nothing") << "X" << QStringList{"\n"} << "X"
                                               << "";
        QTest::newRow("CR at end of piece gains LF, LF opening the next is dropped")
            << "" << QStringList{"A\r", "\nB"} << "A\r\nB"
            << "A\r\nB";
        QTest::newRow("bare CRs each gain one LF") << "" << QStringList{"\r\r"} << "\r\n\r\n"
                                                   << "\r\n\r\n";
        QTest::newRow("backspace inside a piece takes the character before it")
            << "" << QStringList{"AB\bC"} << "AC"
            << "AC";
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
        QTest::newRow("backspace takes a received LF before the LF is dropped")
            << "" << QStringList{"A\n\bB"} << "AB"
            << "AB";
        QTest::newRow("backspace takes a CR, so no LF is added")
            << "" << QStringList{"A\r\bB"} << "AB"
            << "AB";
        QTest::newRow("opening backspace after CR LF leaves a lone CR")
            << "" << QStringList{"A\r", "\bB"} << "A\rB"
            << "A\r\nB";
        QTest::newRow("other control characters pass unchanged")
            << "" << QStringList{QString::fromLatin1("\x01\x1b[0m\x7f\xff", 8)}
            << QString::fromLatin1("\x01\x1b[0m\x7f\xff", 8)
            << QString::fromLatin1("\x01\x1b[0m\x7f\xff", 8);
    }
    void pieces()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, pieces);
        QFETCH(QString, terminal);
        QFETCH(QString, parse);
        form->Term->setText(before);
        for (const QString& p : pieces)
            feed(p);
        QCOMPARE(form->Term->text(), terminal);
        QCOMPARE(form->Text1->text(), parse);
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
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar(QLatin1Char('a' + i % 26));
        form->Term->setText(text);
        feed(QStringLiteral("Z"));
        QCOMPARE(form->Term->length(), after);
        QVERIFY(form->Term->text().endsWith(QLatin1Char('Z')));
        if (length >= 16384)
            QCOMPARE(form->Term->text().left(5), text.mid(4096, 5));
    }

    void parseBufferKeepsTheLast418()
    {
        QString all;
        for (int i = 0; i < 30; ++i) {
            const QString piece = QStringLiteral("line %1 of text\r").arg(i);
            feed(piece);
            all += piece + QLatin1Char('\n');
            QVERIFY(form->Text1->text().size() <= 418);
        }
        QCOMPARE(form->Text1->text(), all.right(418));
    }

    void parseBufferChangesTwicePerLongPiece()
    {
        form->Text1->setText(QString(418, QLatin1Char('x')));
        QSignalSpy spy(form->Text1, &TextBox::Change);
        QVERIFY(spy.isValid());
        feed(QStringLiteral("new"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(form->Text1->text().right(3), QStringLiteral("new"));
    }

    // Text without backspaces, under the cut: every chunking gives the same result.
    void sameBytesInEveryChunking()
    {
        QString source;
        for (int i = 0; i < 200; ++i)
            source += QStringLiteral("VEL =   %1\r\n\rLF only\nX").arg(i % 300, 3);
        Form1 whole(w->services());
        QString copy = source;
        whole.terminal().AppendToTerminal(*whole.Term, copy);

        for (int cut : {1, 2, 3, 7, 0}) {
            Form1 split(w->services());
            QRandomGenerator rng(cut + 1);
            for (int at = 0; at < source.size();) {
                const int n = cut ? cut : 1 + int(rng.bounded(64));
                QString piece = source.mid(at, n);
                split.terminal().AppendToTerminal(*split.Term, piece);
                at += n;
            }
            QCOMPARE(split.Term->text(), whole.Term->text());
            QCOMPARE(split.Text1->text(), whole.Text1->text());
        }
    }

    // The cut and the append land in one call, between two redraws of the view.
    void cutAndAppendInOneCallRedrawTheView()
    {
        form->show();
        QString text;
        for (int i = 0; text.size() < kTerminalLimit; ++i)
            text += QStringLiteral("line %1\r\n").arg(i);
        form->Term->setText(text);
        form->Term->flushView();
        feed(QStringLiteral("after the cut\r"));
        form->Term->flushView();
        QCOMPARE(form->Term->text(), text.mid(kTerminalCut) + QStringLiteral("after the cut\r\n"));
        QCOMPARE(form->Term->viewText(), crlf::toView(form->Term->text()));
    }

    void viewShowsEachLineBreakOnce()
    {
        form->show();
        feed(QStringLiteral("AB\r\nC\r"));
        form->Term->flushView();
        QCOMPARE(form->Term->viewText(), QStringLiteral("AB\nC\n"));
        feed(QStringLiteral("\bD"));
        form->Term->flushView();
        QCOMPARE(form->Term->text(), QStringLiteral("AB\r\nC\rD"));
        QCOMPARE(form->Term->viewText(), QStringLiteral("AB\nC\nD"));
    }
};

QTEST_MAIN(TestAppendToTerminal)
#include "tst_appendtoterminal.moc"
