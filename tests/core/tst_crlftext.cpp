// The CR LF text model: the view of a text that counts CR LF as two characters, and
// what a view must draw after each kind of change.
#include "core/crlftext.h"

#include <QTest>

using namespace vantrel;

class TestCrLfText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void view_data()
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
    void view()
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

    // After a drawn view: what must be drawn next. "tail N" draws from N on.
    void whatTheViewMustDraw_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("draw");
        QTest::newRow("nothing changed") << ""
                                         << "nothing";
        QTest::newRow("an append draws its tail") << "add"
                                                  << "tail 6";
        QTest::newRow("a cut then an append, between two redraws") << "cut,add"
                                                                   << "whole";
        QTest::newRow("a replaced last character") << "replace"
                                                   << "whole";
        QTest::newRow("an LF completing a CR at the view's end") << "CR,draw,LF"
                                                                 << "whole";
    }
    void whatTheViewMustDraw()
    {
        QFETCH(QString, after);
        QFETCH(QString, draw);
        CrLfText t;
        QVERIFY(t.setText(QStringLiteral("line 1")));
        QCOMPARE(t.viewUpdate()->whole, true);
        t.viewDrawn();
        for (const QString& step : after.split(u',', Qt::SkipEmptyParts)) {
            if (step == u"draw") {
                t.viewDrawn();
                continue;
            }
            if (step == u"cut")
                QVERIFY(t.setText(t.text().mid(3)));
            t.setSelStart(t.length());
            if (step == u"replace") {
                t.setSelStart(t.length() - 1);
                t.setSelLength(1);
            }
            t.setSelText(step == u"CR"   ? QStringLiteral("\r")
                         : step == u"LF" ? QStringLiteral("\n")
                                         : QStringLiteral("+"));
        }
        const auto update = t.viewUpdate();
        const QString got = !update         ? QStringLiteral("nothing")
                            : update->whole ? QStringLiteral("whole")
                                            : QStringLiteral("tail %1").arg(update->from);
        QCOMPARE(got, draw);
    }
};

QTEST_MAIN(TestCrLfText)
#include "tst_crlftext.moc"
