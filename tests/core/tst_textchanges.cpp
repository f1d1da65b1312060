// The edits assistive technology is told between two looks at a text box: one stretch
// where the texts differ in one place, a cut and an addition where a terminal dropped its
// oldest text and took new text in between.
#include "core/textchanges.h"

#include <QTest>

using namespace vantrel;

using Changes = std::vector<TextChange>;
Q_DECLARE_METATYPE(Changes)

namespace
{
QString applied(QString text, const Changes& changes)
{
    for (const TextChange& c : changes) {
        if (text.mid(c.at, c.removed.size()) != c.removed)
            return QStringLiteral("<%1 is not at %2>").arg(c.removed).arg(c.at);
        text.replace(c.at, c.removed.size(), c.inserted);
    }
    return text;
}
} // namespace

class TestTextChanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editsBetweenTwoTexts_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<Changes>("changes");
        QTest::newRow("nothing changed") << "abc"
                                         << "abc" << Changes{};
        QTest::newRow("text added at the end") << "VEL =   12\n"
                                               << "VEL =   12\nBBT =   00042\n"
                                               << Changes{{11, {}, "BBT =   00042\n"}};
        QTest::newRow("text cut at the front") << "old\nnew\n"
                                               << "new\n"
                                               << Changes{{0, "old\n", {}}};
        QTest::newRow("front cut and text added between two looks")
            << "> PMII\nVEL =   12\nBBT =   00042\n"
            << "VEL =   12\nBBT =   00042\nFLT0 =  none\n"
            << Changes{{0, "> PMII\n", {}}, {25, {}, "FLT0 =  none\n"}};
        QTest::newRow("a character typed in the middle") << "stu\nsd\n"
                                                         << "stu\nstd\n"
                                                         << Changes{{5, {}, "t"}};
        QTest::newRow("a value replaced") << "speed 12 m/s"
                                          << "speed 345 m/s" << Changes{{6, "12", "345"}};
        QTest::newRow("the whole text replaced") << "1000"
                                                 << "333" << Changes{{0, "1000", "333"}};
        QTest::newRow("emptied") << "abc" << QString() << Changes{{0, "abc", {}}};
        QTest::newRow("filled from nothing") << QString() << "abc" << Changes{{0, {}, "abc"}};
        QTest::newRow("one repeated character, shortened and ended anew")
            << QString(100, u'a') << QString(50, u'a') + QStringLiteral("b")
            << Changes{{50, QString(50, u'a'), "b"}};
    }
    void editsBetweenTwoTexts()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(Changes, changes);
        const Changes found = textChanges(before, after);
        QCOMPARE(applied(before, found), after);
        QCOMPARE(found.size(), changes.size());
        for (size_t i = 0; i < found.size(); ++i) {
            QCOMPARE(found[i].at, changes[i].at);
            QCOMPARE(found[i].removed, changes[i].removed);
            QCOMPARE(found[i].inserted, changes[i].inserted);
        }
    }
};

QTEST_MAIN(TestTextChanges)
#include "tst_textchanges.moc"
