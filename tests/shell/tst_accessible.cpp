// What assistive technology reads of every window: each control and menu entry has a
// name, its control name as description, and no two controls of a window read the same;
// a control with a caption reads it as it is now, a readout its words and its value, told
// at the frame clock's pace.
#include "accessibleevents.h"
#include "carscreen/texts.h"
#include "fakes.h"
#include "screens.h"
#include "shell/application.h"
#include "widgets/colors.h"
#include "widgets/frameclock.h"
#include "widgets/lamp.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
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

// The entries of a window's menu bar and menus.
QList<QAction*> menuEntriesOf(QWidget* window)
{
    QList<QAction*> entries;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (qobject_cast<QMenuBar*>(w) || qobject_cast<QMenu*>(w))
            for (QAction* a : w->actions())
                if (!a->isSeparator())
                    entries << a;
    return entries;
}

QAccessibleInterface* reader(QObject* o)
{
    return QAccessible::queryAccessibleInterface(o);
}

QWidget* control(const QString& window, const QString& name)
{
    for (QWidget* shown : WindowsFixture::shownWindows())
        if (shown->objectName() == window)
            return shown->objectName() == name ? shown : shown->findChild<QWidget*>(name);
    return nullptr;
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
            for (QAction* entry : menuEntriesOf(window)) {
                QAccessibleInterface* a = reader(entry);
                const QString controlName =
                    entry->menu() ? entry->menu()->objectName() : entry->objectName();
                const QString where = window->objectName() + QLatin1Char('/') + controlName;
                ++checked;
                if (!a || a->role() != QAccessible::MenuItem) {
                    faults << where + QStringLiteral(": not a menu entry");
                    continue;
                }
                if (a->text(QAccessible::Name).isEmpty())
                    faults << where + QStringLiteral(": no name");
                if (a->text(QAccessible::Description) != controlName)
                    faults << where + QStringLiteral(": description \"%1\"")
                                          .arg(a->text(QAccessible::Description));
            }
        }
        QVERIFY2(checked > 270, qPrintable(QString::number(checked)));
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
        QTest::newRow("fault text") << "Form1"
                                    << "Text5"
                                    << "Fault text";
        QTest::newRow("receive lamp, out") << "Form1"
                                           << "Label4"
                                           << "Receive lamp, off";
        QTest::newRow("signal value not filled yet") << "Form1"
                                                     << "lbl514"
                                                     << "SM";
        QTest::newRow("status line showing nothing") << "Form1"
                                                     << "Label1"
                                                     << "Status line";
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
        QWidget* found = ::control(window, control);
        QVERIFY2(found, qPrintable(window + QLatin1Char('/') + control));
        QCOMPARE(reader(found)->text(QAccessible::Name), name);
    }

    // Each row: a control of the car screen, what it comes to show, how it reads then.
    void namesFollowWhatControlsShow_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shows");
        QTest::addColumn<QString>("name");
        QTest::newRow("window once a capture log is open")
            << "Form1" << logCaption(QStringLiteral("CAR7.LOG")) << "Comm Terminal - CAR7.LOG";
        QTest::newRow("window while the stress test runs")
            << "Form1" << QString::fromLatin1(text::kStressCaption) << "Stress Test";
        QTest::newRow("button with a new caption") << "Command1"
                                                   << "pmi &2"
                                                   << "pmi 2";
        QTest::newRow("menu with a new title") << "MFile"
                                               << "&Log"
                                               << "Log";
        QTest::newRow("status line with a message") << "Label1"
                                                    << "Port lost: /dev/ttyUSB0 is gone"
                                                    << "Port lost: /dev/ttyUSB0 is gone";
        QTest::newRow("signal value after a dump") << "lbl3_1"
                                                   << "1 "
                                                   << "GV, 1";
        QTest::newRow("value without a signal beside it") << "lbl1316"
                                                          << "0 "
                                                          << "Column 5 row 16, 0";
        QTest::newRow("lamp lit") << "Label4"
                                  << "lit"
                                  << "Receive lamp, on";
    }
    void namesFollowWhatControlsShow()
    {
        QFETCH(QString, control);
        QFETCH(QString, shows);
        QFETCH(QString, name);
        Form1* car = showEveryWindow();
        QWidget* w = ::control(QStringLiteral("Form1"), control);
        QVERIFY2(w, qPrintable(control));
        if (auto* menu = qobject_cast<QMenu*>(w))
            menu->setTitle(shows);
        else if (w->isWindow())
            w->setWindowTitle(shows);
        else if (auto* lamp = qobject_cast<Lamp*>(w))
            lamp->setColor(color::DarkRed);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            button->setText(shows);
        else
            static_cast<QLabel*>(w)->setText(shows);
        FrameClock::instance().frame(); // a lamp is drawn lit at the frame
        QCOMPARE(reader(w)->text(QAccessible::Name), name);
        QVERIFY(car->isVisible());
    }

    void aValueIsToldOnceAFrame()
    {
        Form1* car = showEveryWindow();
        QVERIFY(QTest::qWaitForWindowExposed(car));
        QLabel* gv = car->findChild<QLabel*>(QStringLiteral("lbl3_1"));
        AccessibleEvents heard(gv);
        FrameClock::instance().frame();
        heard.take();
        for (const char* value : {"0 ", "1 ", "0 ", "1 "}) {
            gv->setText(QLatin1String(value));
            QCoreApplication::processEvents(); // the repaint waits for the frame
        }
        QCOMPARE(heard.take(), QStringList{});
        FrameClock::instance().frame();
        QCOMPARE(heard.take(), QStringList{QStringLiteral("name \"GV, 1\"")});
        FrameClock::instance().frame();
        QCOMPARE(heard.take(), QStringList{}); // the same value is not told again
    }
};

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
