// The terminal box: its CR LF text is the truth, and the view drawn from it must
// follow every sequence of cuts, selections and appends, however they are mixed
// between two redraws.
#include "platform/crlfedit.h"
#include "platform/crlftext.h"

#include <QRandomGenerator>
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
