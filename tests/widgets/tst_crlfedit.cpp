// The terminal box: its CR LF text is the truth, and the view drawn from it must
// follow every sequence of cuts, selections and appends, however they are mixed
// between two redraws.
#include "core/crlftext.h"
#include "widgets/crlfedit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>

using namespace vantrel;

namespace
{
// One step of a script: "flush", "set:T", "cut:N" (keep from N on), "sel:S,L",
// "put:T" (replace the selection), "add:T" (insertion point at the end, then put).
void run(CrLfEdit& box, const QString& step)
{
    const QString op = step.section(u':', 0, 0);
    const QString arg = step.section(u':', 1);
    if (op == u"flush") {
        box.flushView();
    } else if (op == u"set") {
        box.setText(arg);
    } else if (op == u"cut") {
        box.setText(box.text().mid(arg.toInt()));
    } else if (op == u"sel") {
        box.setSelStart(arg.section(u',', 0, 0).toInt());
        box.setSelLength(arg.section(u',', 1).toInt());
    } else if (op == u"put") {
        box.setSelText(arg);
    } else if (op == u"add") {
        box.setSelStart(box.length());
        box.setSelText(arg);
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

void expectViewOf(CrLfEdit& box)
{
    box.flushView();
    QCOMPARE(box.viewText(), crlf::toView(box.text()));
}
// Drawn, and what the drawing found out (the widest row) carried through to the bars.
void settle(CrLfEdit& box)
{
    box.flushView();
    box.repaint();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}
} // namespace

class TestCrLfEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<CrLfEdit> box;

private Q_SLOTS:
    void init()
    {
        box = std::make_unique<CrLfEdit>(QStringLiteral("Term"));
        box->resize(300, 200);
        box->show();
    }
    void cleanup() { box.reset(); }

    void viewFollowsEveryMixOfChanges_data()
    {
        const QString long1 = QString(300, u'a') + QStringLiteral("\r\n") + QString(300, u'b');
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("cut then append before the next redraw")
            << QStringList{"set:" + long1, "flush", "cut:200", "add:Z"};
        QTest::newRow("cut to nothing then append")
            << QStringList{"set:" + long1, "flush", "cut:100000", "add:\r\nQ"};
        QTest::newRow("last character replaced after a cut")
            << QStringList{"set:" + long1, "flush", "cut:10", "sel:591,1", "put:X"};
        QTest::newRow("append after a replacement, one redraw for both")
            << QStringList{"set:ABC\r\nDEF", "flush", "sel:1,1", "put:xyz", "add:\r\nG"};
        QTest::newRow("CR at the view's end, its LF in the next append")
            << QStringList{"add:A\r", "flush", "add:\nB"};
        QTest::newRow("CR LF split across redraws, then a cut")
            << QStringList{"add:A\r", "flush", "add:\nB", "cut:1", "add:C"};
        QTest::newRow("appends only, a redraw between each")
            << QStringList{"add:one\r\n", "flush", "add:two", "flush", "add:\r\nthree"};
        QTest::newRow("a shorter text set over a synced longer one, then appended")
            << QStringList{"set:" + long1, "flush", "set:xy", "add:z"};
    }
    void viewFollowsEveryMixOfChanges()
    {
        QFETCH(QStringList, steps);
        for (const QString& s : steps)
            run(*box, s);
        expectViewOf(*box);
    }

    // What keys do to the text and the selection while the box is editable; a CR LF is
    // one step and one deletion. "[a]" in `after` marks the selection.
    void keysEditAndSelect_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::newRow("typing at the end") << "ab"
                                           << "c"
                                           << "abc";
        QTest::newRow("Enter makes CR LF") << "ab"
                                           << "Return"
                                           << "ab\r\n";
        QTest::newRow("Backspace takes a whole CR LF") << "ab\r\n"
                                                       << "Backspace"
                                                       << "ab";
        QTest::newRow("Left steps over a CR LF, Delete takes it") << "ab\r\nc"
                                                                  << "Left,Left,Delete"
                                                                  << "abc";
        QTest::newRow("Shift+Left selects back") << "abcd"
                                                 << "Shift+Left,Shift+Left"
                                                 << "ab[cd]";
        QTest::newRow("Home then Shift+End selects the row") << "ab\r\ncd"
                                                             << "Home,Shift+End"
                                                             << "ab\r\n[cd]";
        QTest::newRow("Up keeps to the column above") << "abc\r\nd"
                                                      << "Up,Shift+Right"
                                                      << "a[b]c\r\nd";
        QTest::newRow("Ctrl+A selects all, a letter replaces it") << "ab\r\ncd"
                                                                  << "Ctrl+A,x"
                                                                  << "x";
    }
    void keysEditAndSelect()
    {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        box->setText(before);
        box->setSelStart(box->length());
        box->setFocus();
        for (const QString& k : keys.split(u',')) {
            const QKeySequence seq(k);
            if (k.size() == 1)
                QTest::keyClicks(box.get(), k);
            else
                QTest::keyClick(box.get(), Qt::Key(seq[0].key()), seq[0].keyboardModifiers());
        }
        QString shown = box->text();
        if (box->selLength() > 0)
            shown.insert(box->selStart() + box->selLength(), u']').insert(box->selStart(), u'[');
        QCOMPARE(shown, after);
    }

    // A click puts the insertion point where it lands; a Shift click selects up to it;
    // a copy gives the selection with its line breaks.
    void mouseSelectsAndCopyKeepsTheBreaks()
    {
        box->setText(QStringLiteral("first\r\nsecond"));
        box->flushView();
        const QPoint firstRow(1, 8); // left of the first character
        const QPoint secondRowEnd(200, 8 + box->fontMetrics().lineSpacing());
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, firstRow);
        QCOMPARE(box->selStart(), 0);
        QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::ShiftModifier, secondRowEnd);
        QCOMPARE(box->selLength(), box->length());
        QTest::keyClick(box.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("first\nsecond"));
    }

    // A wrapping box breaks its rows between words where they would not fit, and
    // inside a word only where the word alone does not fit.
    void wrappingBreaksBetweenWords()
    {
        box->resize(120, 200);
        box->setWrapping(true);
        box->setText(
            QStringLiteral("DOOR OPEN TOO LONG AT LANDING 3 XXXXXXXXXXXXXXXXXXXXXXXXXXXXXX"));
        box->flushView();
        const QStringList rows = box->viewText().split(u'\n');
        QVERIFY2(rows.size() > 2, qPrintable(box->viewText()));
        QCOMPARE(rows.join(QString()), box->text());
        for (int i = 0; i + 1 < rows.size(); ++i)
            QVERIFY2(rows[i].endsWith(u' ') || !rows[i].contains(u' '), qPrintable(rows[i]));
    }

    // A bar shown as needed comes when the text outgrows the box and goes when it fits
    // again, and the view makes room for it; a bar always shown stays.
    void barsComeAndGoAsNeeded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("rowsBar");
        QTest::addColumn<bool>("columnsBar");
        const QString row = QStringLiteral("EVT 00000145 POS 6\r\n");
        QTest::newRow("empty") << QString() << false << false;
        QTest::newRow("fits") << row.repeated(3) << false << false;
        QTest::newRow("too many rows") << row.repeated(40) << true << false;
        QTest::newRow("too wide") << QString(200, u'8') << false << true;
        QTest::newRow("both") << QString(200, u'8') + row.repeated(40) << true << true;
    }
    void barsComeAndGoAsNeeded()
    {
        QFETCH(QString, text);
        QFETCH(bool, rowsBar);
        QFETCH(bool, columnsBar);
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        settle(*box);
        const QSize bare = box->viewport()->size();
        for (const QString& shown : {text, QString(), text, QStringLiteral("x"), text}) {
            box->setText(shown);
            settle(*box);
            const bool rows = shown == text && rowsBar, columns = shown == text && columnsBar;
            QCOMPARE(box->verticalScrollBar()->isVisibleTo(box.get()), rows);
            QCOMPARE(box->horizontalScrollBar()->isVisibleTo(box.get()), columns);
            QCOMPARE(box->viewport()->width() < bare.width(), rows);
            QCOMPARE(box->viewport()->height() < bare.height(), columns);
        }
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setText(QString());
        settle(*box);
        QVERIFY(box->verticalScrollBar()->isVisibleTo(box.get()));
    }

    // Many random mixes, redrawn at random moments, as a long session would make them.
    void viewFollowsRandomSessions()
    {
        QRandomGenerator rng(20261208);
        const QString pieces[] = {QStringLiteral("x"), QStringLiteral("\r"), QStringLiteral("\n"),
                                  QStringLiteral("\r\n"), QStringLiteral("long line of text")};
        for (int session = 0; session < 50; ++session) {
            box->setText(QString());
            box->flushView();
            for (int i = 0; i < 200; ++i) {
                const int len = box->length();
                switch (rng.bounded(6)) {
                case 0:
                    box->flushView();
                    break;
                case 1:
                    box->setText(box->text().mid(int(rng.bounded(len + 1))));
                    break;
                case 2:
                    box->setSelStart(int(rng.bounded(len + 1)));
                    box->setSelLength(int(rng.bounded(3)));
                    box->setSelText(pieces[rng.bounded(5)]);
                    break;
                default:
                    box->setSelStart(box->length());
                    box->setSelText(pieces[rng.bounded(5)]);
                    break;
                }
            }
            expectViewOf(*box);
        }
    }
};

QTEST_MAIN(TestCrLfEdit)
#include "tst_crlfedit.moc"
