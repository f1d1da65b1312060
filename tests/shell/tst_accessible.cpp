// What assistive technology reads of every window: each control has a name, its
// control name as description, and no two controls of a window read the same.
#include "fakes.h"
#include "screens.h"
#include "shell/application.h"

#include <QAccessible>
#include <QMenu>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// The controls a window is built of: named by the program, not the toolkit's parts.
QList<QWidget*> controlsOf(QWidget* window)
{
    QList<QWidget*> controls{window};
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            controls << w;
    }
    return controls;
}

QAccessibleInterface* reader(QWidget* w)
{
    return QAccessible::queryAccessibleInterface(w);
}
} // namespace

class TestAccessible : public QObject, public WindowsFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpApplication(); }
    void init() { openWindows(); }
    void cleanup() { closeWindows(); }

    void everyControlHasANameOfItsOwn()
    {
        showEveryWindow();
        QStringList faults;
        int checked = 0;
        for (QWidget* window : shownWindows()) {
            QHash<QString, QString> seen; // name and description -> control
            for (QWidget* w : controlsOf(window)) {
                QAccessibleInterface* a = reader(w);
                if (!a) {
                    faults << window->objectName() + QLatin1Char('/') + w->objectName() +
                                  QStringLiteral(": not reachable");
                    continue;
                }
                ++checked;
                const QString name = a->text(QAccessible::Name);
                const QString description = a->text(QAccessible::Description);
                const QString where = window->objectName() + QLatin1Char('/') + w->objectName();
                if (name.trimmed().isEmpty())
                    faults << where + QStringLiteral(": no name");
                if (description != w->objectName())
                    faults << where + QStringLiteral(": description \"%1\"").arg(description);
                const QString key = name + QLatin1Char('\n') + description;
                if (seen.contains(key))
                    faults << where + QStringLiteral(": reads as %1 does").arg(seen.value(key));
                seen.insert(key, w->objectName());
            }
        }
        QVERIFY2(checked > 250, qPrintable(QString::number(checked)));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

    void controlsReadAsTheyShow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("speed") << "Form1"
                               << "txtvel"
                               << "Speed";
        QTest::newRow("stop count") << "Form1"
                                    << "Text2"
                                    << "Stop count";
        QTest::newRow("bbt") << "Form1"
                             << "txtbbt"
                             << "BBT";
        QTest::newRow("fault text") << "Form1"
                                    << "Text5"
                                    << "Fault text";
        QTest::newRow("receive lamp") << "Form1"
                                      << "Label4"
                                      << "Receive lamp";
        QTest::newRow("signal value beside its name") << "Form1"
                                                      << "lbl514"
                                                      << "SM value";
        QTest::newRow("caption, access key left out") << "frmLogin"
                                                      << "cmdCancel"
                                                      << "Cancel";
        QTest::newRow("password box") << "frmLogin"
                                      << "txtPassword"
                                      << "Password";
        QTest::newRow("playback interval") << "replay"
                                           << "Text5"
                                           << "Playback interval";
        QTest::newRow("arrow button") << "replay"
                                      << "Command1"
                                      << "Next line";
        QTest::newRow("port list") << "ConfigScrn"
                                   << "List1"
                                   << "Serial ports on this computer";
        QTest::newRow("window by its title") << "Form3"
                                             << "Form3"
                                             << "Vantrel Menu";
    }

    void controlsReadAsTheyShow()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, name);
        showEveryWindow();
        QWidget* found = nullptr;
        for (QWidget* shown : shownWindows())
            if (shown->objectName() == window)
                found =
                    shown->objectName() == control ? shown : shown->findChild<QWidget*>(control);
        QVERIFY2(found, qPrintable(window + QLatin1Char('/') + control));
        QCOMPARE(reader(found)->text(QAccessible::Name), name);
    }
};

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
