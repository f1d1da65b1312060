// What one received piece does to the car screen: the terminal box shows the terminal's
// text, and the car model's parse buffer takes the piece.
#include "core/carmodel.h"
#include "core/crlftext.h"
#include "core/receivedtext.h"
#include "fakes.h"
#include "screens.h"
#include "shell/form1.h"
#include "terminal/serialterminal.h"
#include "widgets/crlfedit.h"

#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestAppendToTerminal : public QObject, public CarScreenFixture
{
    Q_OBJECT

    void feed(const QString& text)
    {
        form->terminal().AppendToTerminal(form->terminal().term(), text.toLatin1());
    }

private Q_SLOTS:
    void init() { openScreen(false); }
    void cleanup() { closeScreen(); }

    // The rules live with the text; here the screen's boxes show what they made.
    void aPieceReachesTheBoxesItFeeds()
    {
        form->Term->setText(QStringLiteral("Q"));
        feed(QStringLiteral("\bAB\r\nC"));
        QCOMPARE(form->Term->text(), QStringLiteral("AB\r\nC"));
        QCOMPARE(&form->terminal().term(), form->Term->model().get());
        QCOMPARE(form->model().parseBuffer().text(), QStringLiteral("AB\r\nC"));
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
