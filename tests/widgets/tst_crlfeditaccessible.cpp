// What assistive technology reads of the CR LF text box, asked in the program through the
// toolkit's interfaces: the text as shown, offsets, caret, selection, text by unit, where
// characters are, editing; and the changes it is told, once a frame.
#include "accessibleevents.h"
#include "widgets/accessible.h"
#include "widgets/crlfedit.h"
#include "widgets/frameclock.h"

#include <QAccessible>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
QAccessibleTextInterface* textOf(QAccessibleInterface* a)
{
    return a ? a->textInterface() : nullptr;
}
} // namespace

class TestCrLfEditAccessible : public QObject
{
    Q_OBJECT

    std::unique_ptr<CrLfEdit> box;
    QAccessibleInterface* reader() { return QAccessible::queryAccessibleInterface(box.get()); }
    QAccessibleTextInterface* text() { return textOf(reader()); }

private Q_SLOTS:
    void initTestCase() { installAccessibleFactory(); }
    void init()
    {
        box = std::make_unique<CrLfEdit>(QStringLiteral("Term"));
        box->setAccessibleName(QStringLiteral("Terminal"));
        box->resize(300, 200);
        box->show();
    }
    void cleanup() { box.reset(); }

    void readsTheTextAsTheBoxShowsIt_data()
    {
        QTest::addColumn<QString>("truth");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF reads as one line break") << "VEL =   12\r\nBBT"
                                                       << "VEL =   12\nBBT";
        QTest::newRow("a lone CR reads as a line break") << "a\rb"
                                                         << "a\nb";
        QTest::newRow("a control character reads as its picture")
            << QStringLiteral("a\x07") << QStringLiteral("a\u2407");
        QTest::newRow("an empty box reads nothing") << QString() << QString();
    }
    void readsTheTextAsTheBoxShowsIt()
    {
        QFETCH(QString, truth);
        QFETCH(QString, shown);
        box->setText(truth);
        QCOMPARE(reader()->text(QAccessible::Name), QStringLiteral("Terminal"));
        QCOMPARE(reader()->text(QAccessible::Description), QString());
        QVERIFY(text());
        QCOMPARE(text()->text(0, -1), shown);
        QCOMPARE(text()->characterCount(), shown.size());
        QCOMPARE(reader()->text(QAccessible::Value), shown);
    }

    void roleFollowsWhetherTheBoxTakesTyping_data()
    {
        QTest::addColumn<bool>("editable");
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("editingOffered");
        QTest::newRow("editable box") << true << int(QAccessible::EditableText) << true;
        QTest::newRow("box the technician cannot type in")
            << false << int(QAccessible::StaticText) << false;
    }
    void roleFollowsWhetherTheBoxTakesTyping()
    {
        QFETCH(bool, editable);
        QFETCH(int, role);
        QFETCH(bool, editingOffered);
        box->setEditable(editable);
        QCOMPARE(int(reader()->role()), role);
        QCOMPARE(reader()->editableTextInterface() != nullptr, editingOffered);
        QCOMPARE(bool(reader()->state().readOnly), !editable);
        QCOMPARE(bool(reader()->state().multiLine), true);
    }

    void textByUnitAroundAnOffset_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const int c = QAccessible::CharBoundary;
        const int w = QAccessible::WordBoundary;
        const int l = QAccessible::LineBoundary;
        QTest::newRow("character") << 2 << c << "i"
                                   << "m"
                                   << " ";
        QTest::newRow("word") << 1 << w << "pmi"
                              << ""
                              << " ";
        QTest::newRow("first line") << 2 << l << "pmi 1\n"
                                    << ""
                                    << "VEL =   12\n";
        QTest::newRow("line in the middle, after a CR LF") << 8 << l << "VEL =   12\n"
                                                           << "pmi 1\n"
                                                           << "BBT";
    }
    void textByUnitAroundAnOffset()
    {
        QFETCH(int, offset);
        QFETCH(int, unit);
        QFETCH(QString, at);
        QFETCH(QString, before);
        QFETCH(QString, after);
        box->setText(QStringLiteral("pmi 1\r\nVEL =   12\r\nBBT"));
        const auto boundary = QAccessible::TextBoundaryType(unit);
        int from = -1;
        int to = -1;
        QCOMPARE(text()->textAtOffset(offset, boundary, &from, &to), at);
        QCOMPARE(text()->text(from, to), at);
        QCOMPARE(text()->textBeforeOffset(offset, boundary, &from, &to), before);
        QCOMPARE(text()->textAfterOffset(offset, boundary, &from, &to), after);
    }

    void caretAndSelectionCountShownCharacters()
    {
        box->setText(QStringLiteral("ab\r\ncd\r\nef"));
        box->setSelStart(4); // after the first CR LF
        QCOMPARE(text()->cursorPosition(), 3);
        QCOMPARE(text()->selectionCount(), 0);
        text()->setSelection(0, 1, 6); // "b\ncd\n"
        QCOMPARE(box->selStart(), 1);
        QCOMPARE(box->selLength(), 7);
        int from = -1;
        int to = -1;
        text()->selection(0, &from, &to);
        QCOMPARE(from, 1);
        QCOMPARE(to, 6);
        QCOMPARE(text()->cursorPosition(), 6);
        text()->setCursorPosition(7);
        QCOMPARE(box->selStart(), 9);
        QCOMPARE(box->selLength(), 0);
    }

    void editingThroughAssistiveTechnology_data()
    {
        QTest::addColumn<bool>("editable");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("after");
        QTest::newRow("inserted line break becomes CR LF") << true << "insert 2 X\nY"
                                                           << "abX\r\nY\r\ncd";
        QTest::newRow("a deleted line break takes its CR LF") << true << "delete 2 3"
                                                              << "abcd";
        QTest::newRow("replaced across a line break") << true << "replace 1 4 Z"
                                                      << "aZd";
        QTest::newRow("a box the technician cannot type in stays") << false << "delete 0 5"
                                                                   << "ab\r\ncd";
    }
    void editingThroughAssistiveTechnology()
    {
        QFETCH(bool, editable);
        QFETCH(QString, how);
        QFETCH(QString, after);
        box->setText(QStringLiteral("ab\r\ncd"));
        box->setEditable(editable);
        QAccessibleEditableTextInterface* edit = static_cast<QAccessibleEditableTextInterface*>(
            reader()->interface_cast(QAccessible::EditableTextInterface));
        const QStringList step = how.split(u' ');
        if (!editable) {
            QVERIFY(!edit);
            return;
        }
        QVERIFY(edit);
        if (step[0] == u"insert")
            edit->insertText(step[1].toInt(), step[2]);
        else if (step[0] == u"delete")
            edit->deleteText(step[1].toInt(), step[2].toInt());
        else
            edit->replaceText(step[1].toInt(), step[2].toInt(), step[3]);
        QCOMPARE(box->text(), after);
    }

    void charactersAreFoundWhereTheyAreDrawn_data()
    {
        QTest::addColumn<int>("offset");
        QTest::newRow("first character") << 0;
        QTest::newRow("on the second line") << 8;
    }
    void charactersAreFoundWhereTheyAreDrawn()
    {
        QFETCH(int, offset);
        box->setText(QStringLiteral("pmi 1\r\nVEL =   12\r\nBBT"));
        const QRect r = text()->characterRect(offset);
        QVERIFY(!r.isEmpty());
        QVERIFY(QRect(box->mapToGlobal(QPoint(0, 0)), box->size()).contains(r));
        QCOMPARE(text()->offsetAtPoint(r.center() - QPoint(r.width() / 4, 0)), offset);
    }

    // Each row: the box's text when assistive technology last heard of it, the steps
    // until the next frame, what it is told then.
    void changesAreToldOnceAFrame_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("text received at the end")
            << "VEL" << QStringList{"add:\r\nBBT"} << QStringList{"insert 3 \"\nBBT\"", "caret 7"};
        QTest::newRow("many pieces between two frames, told as one")
            << "VEL" << QStringList{"add:a", "add:b", "add:\r\n", "add:c"}
            << QStringList{"insert 3 \"ab\nc\"", "caret 7"};
        QTest::newRow("oldest text cut and new text received")
            << "one\r\ntwo\r\n"
            << QStringList{"cut:5", "add:three\r\n"}
            << QStringList{"remove 0 \"one\n\"", "insert 4 \"three\n\"", "caret 10"};
        QTest::newRow("a value replaced")
            << "1000" << QStringList{"set:333"} << QStringList{"update 0 \"1000\" \"333\""};
        QTest::newRow("a selection given up")
            << "abc" << QStringList{"sel:1,2", "sel:1,0"} << QStringList{"caret 1"};
        QTest::newRow("the caret moved alone")
            << "abc" << QStringList{"sel:1,0"} << QStringList{"caret 1"};
        QTest::newRow("text selected")
            << "abc" << QStringList{"sel:1,2"} << QStringList{"selection 1 3", "caret 3"};
        QTest::newRow("a selection cleared") << "abc" << QStringList{"sel:1,2", "frame", "sel:3,0"}
                                             << QStringList{"selection -1 -1"};
        QTest::newRow("a change undone before the frame is not told")
            << "abc" << QStringList{"set:abcd", "set:abc"} << QStringList{};
    }
    void changesAreToldOnceAFrame()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, told);
        AccessibleEvents heard(box.get());
        box->setText(before);
        FrameClock::instance().frame();
        heard.take();
        for (const QString& step : steps) {
            const QString arg = step.section(u':', 1);
            if (step.startsWith(u"add:")) {
                box->setSelStart(box->length());
                box->setSelText(arg);
            } else if (step.startsWith(u"cut:")) {
                box->setText(box->text().mid(arg.toInt()));
            } else if (step.startsWith(u"set:")) {
                box->setText(arg);
            } else if (step == u"frame") { // told, and not part of the row's answer
                FrameClock::instance().frame();
                heard.take();
            } else {
                box->setSelStart(arg.section(u',', 0, 0).toInt());
                box->setSelLength(arg.section(u',', 1).toInt());
            }
        }
        QCOMPARE(heard.take().join(u'|'), QString()); // nothing before the frame
        FrameClock::instance().frame();
        QCOMPARE(heard.take().join(u'|'), told.join(u'|'));
    }

    void nothingIsToldWhileNobodyListens()
    {
        box->setText(QStringLiteral("abc"));
        FrameClock::instance().frame();
        box->setSelStart(3);
        box->setSelText(QStringLiteral("def"));
        FrameClock::instance().frame();
        // Assistive technology that comes now asks for the text; the next change is told
        // from what it found.
        AccessibleEvents heard(box.get());
        box->setSelText(QStringLiteral("g"));
        FrameClock::instance().frame();
        QCOMPARE(heard.take().join(u'|'), QString());
        box->setSelText(QStringLiteral("h"));
        FrameClock::instance().frame();
        QCOMPARE(heard.take().join(u'|'), QStringLiteral("insert 7 \"h\"|caret 8"));
    }
};

QTEST_MAIN(TestCrLfEditAccessible)
#include "tst_crlfeditaccessible.moc"
