// The two large screens and the start-up windows as the technician sees them: every
// control at its place, its first state, the tab order, the menus; nothing moves.
#include "fakes.h"
#include "replay/pacebar.h"
#include "screens.h"
#include "shell/application.h"
#include "shell/windows.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/lamp.h"
#include "widgets/textbox.h"
#include "widgets/twips.h"
#include "widgets/vtimer.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
struct Place {
    const char* name;
    int left, top, width, height; // twips
    bool visible;
    bool enabled;
    const char* kind;
};

// Form1's controls, as the screen is meant to be laid out.
const Place kForm1[] = {
    {"Label2", 120, 0, 732, 192, true, true, "QLabel"},
    {"Label1", 840, 0, 6612, 192, true, true, "vantrel::Readout"},
    {"Term", 5520, 360, 9495, 3975, true, true, "vantrel::CrLfEdit"},
    {"Picture1", 5520, 240, 5895, 4095, false, true, "QFrame"},
    {"Label3", 3000, 4440, 375, 375, true, true, "vantrel::Lamp"},
    {"txtdpc", 4200, 4440, 735, 285, true, true, "QLineEdit"},
    {"txtbbt", 6000, 4440, 615, 285, true, true, "QLineEdit"},
    {"txtpos", 6720, 4440, 495, 285, true, true, "QLineEdit"},
    {"txtvel", 7440, 4440, 495, 285, true, true, "QLineEdit"},
    {"Command4", 8040, 4440, 615, 495, true, true, "QPushButton"},
    {"Command2", 8760, 4440, 615, 495, true, true, "QPushButton"},
    {"Command1", 120, 4800, 615, 495, true, true, "QPushButton"},
    {"Command3", 600, 4800, 615, 495, true, true, "QPushButton"},
    {"Text5", 4080, 4800, 2295, 855, true, true, "vantrel::CrLfEdit"},
    {"Command6", 2880, 4920, 615, 375, true, true, "QPushButton"},
    {"Command5", 8040, 5040, 615, 615, true, true, "QPushButton"},
    {"Text2", 8880, 5160, 615, 375, true, true, "QLineEdit"},
    {"Text4", 2880, 5400, 615, 285, true, true, "QLineEdit"},
    {"Text3", 240, 5760, 9615, 975, false, true, "QLineEdit"},
    {"Label4", 9960, 5760, 375, 375, true, true, "vantrel::Lamp"},
    {"Label5", 9960, 6240, 375, 375, true, true, "vantrel::Lamp"},
};

// The replay screen's own controls; the shared ones sit where Form1 has them.
const Place kReplay[] = {
    {"Text5", 1200, 4920, 1335, 495, true, true, "vantrel::CrLfEdit"},
    {"Option1", 240, 5400, 615, 375, true, true, "QRadioButton"},
    {"Option2", 840, 5400, 615, 375, true, true, "QRadioButton"},
    {"Option3", 1440, 5400, 735, 375, true, true, "QRadioButton"},
    {"Option4", 2160, 5400, 975, 375, true, true, "QRadioButton"},
    {"Command1", 3120, 5400, 495, 495, true, false, "QPushButton"},
    {"HScroll1", 240, 5760, 2895, 255, true, true, "vantrel::PaceBar"},
    {"SerialComm1", 720, 5280, 15, 15, true, true, "QFrame"},
};

const char* const kShared[] = {"Label2", "Label1", "Line1",  "Term",   "Picture1",
                               "Label3", "Label4", "Label5", "txtdpc", "txtbbt",
                               "txtpos", "txtvel", "Text2"};

struct MenuItem {
    const char* menu;
    const char* name;
    const char* caption; // empty for a separator
    bool enabled;
};

const MenuItem kForm1Menus[] = {
    {"MFile", "MOpenLog", "&Open Log File...", true},
    {"MFile", "MCloseLog", "&Close Log File", false},
    {"MFile", "MRplayLog", "Replay Log File", true},
    {"MFile", "M3", "", true},
    {"MFile", "MSendText", "&Transmit Text File...", false},
    {"MFile", "Bar2", "", true},
    {"MFile", "MFileExit", "E&xit", true},
    {"MPort", "MOpen", "Port &Open", true},
    {"MPort", "MSettings", "&Settings...", true},
};

const MenuItem kReplayMenu[] = {
    {"MFile", "MCloseLog", "&Close Log File", false},
    {"MFile", "MRplayLog", "Replay Log File", true},
    {"MFile", "MFileExit", "E&xit", true},
};

QWidget* control(QWidget* screen, const char* name)
{
    return screen->findChild<QWidget*>(QLatin1String(name));
}

QRect twipRect(int l, int t, int w, int h)
{
    const Twips tw(96);
    return {tw(l), tw(t), tw(w), tw(h)};
}

// The names the focus visits on Tab, starting at the first control, once round.
QStringList tabWalk(QWidget* window, QWidget* first)
{
    window->activateWindow();
    first->setFocus(Qt::TabFocusReason);
    QStringList names;
    for (int i = 0; i < 40; ++i) {
        QWidget* f = QApplication::focusWidget();
        if (!f)
            break;
        if (i > 0 && f == first)
            break;
        names << f->objectName();
        QTest::keyClick(f, Qt::Key_Tab);
    }
    return names;
}

void checkMenus(QMainWindow* screen, const MenuItem* items, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const MenuItem& m = items[i];
        auto* menu = screen->findChild<QMenu*>(QLatin1String(m.menu));
        QVERIFY2(menu, m.menu);
        QAction* a = nullptr;
        for (QAction* x : menu->actions())
            if (x->objectName() == QLatin1String(m.name))
                a = x;
        QVERIFY2(a, m.name);
        QCOMPARE(a->isSeparator(), *m.caption == 0);
        if (*m.caption)
            QCOMPARE(a->text(), QLatin1String(m.caption));
        QCOMPARE(a->isEnabled(), m.enabled);
        QVERIFY(a->shortcut().isEmpty());
    }
}
} // namespace

class TestLayout : public QObject, public WindowsFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openWindows(); }
    void cleanup() { closeWindows(); }

    void twipsFollowTheScreensDpi_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("width");
        QTest::newRow("96 dpi: 15 twips a pixel") << 96 << 738;
        QTest::newRow("144 dpi keeps the proportions") << 144 << 1107;
        QTest::newRow("192 dpi doubles") << 192 << 1476;
    }
    void twipsFollowTheScreensDpi()
    {
        QFETCH(int, dpi);
        QFETCH(int, width);
        QCOMPARE(Twips(dpi)(11070), width);
    }

    void carScreenControls_data()
    {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < std::size(kForm1); ++i)
            QTest::newRow(kForm1[i].name) << int(i);
    }
    void carScreenControls()
    {
        QFETCH(int, row);
        const Place& p = kForm1[row];
        Form1* car = windows->showForm1();
        QWidget* c = control(car, p.name);
        QVERIFY2(c, p.name);
        QCOMPARE(QLatin1String(c->metaObject()->className()), QLatin1String(p.kind));
        QCOMPARE(c->geometry(), twipRect(p.left, p.top, p.width, p.height));
        QCOMPARE(c->isVisible(), p.visible);
        QCOMPARE(c->isEnabled(), p.enabled);
        QCOMPARE(c->font().family(), windowFont().family());
        QCOMPARE(c->font().pointSizeF(), 8.25);
        QVERIFY(c->font().bold());
    }

    void carScreenAsItOpens()
    {
        Form1* car = windows->showForm1();
        QCOMPARE(car->windowTitle(), QStringLiteral("Vantrel Car"));
        QCOMPARE(car->client->size(), twipRect(0, 0, 11070, 7125).size());
        QCOMPARE(backColor(car->client), color::LightGrey);
        QCOMPARE(car->Line1->geometry(), QRect(-24, 16, 488, 1));
        QCOMPARE(
            car->client->findChildren<QLabel*>(QRegularExpression(QStringLiteral("^lbl?_?\\d")))
                .size(),
            144);
        QCOMPARE(car->Command1->text(), QStringLiteral("pmi 1"));
        QCOMPARE(car->Command3->text(), QStringLiteral("DOB"));
        QCOMPARE(car->Command4->text(), QStringLiteral("ST&U"));
        QCOMPARE(car->Command5->text(), QStringLiteral("ST&D"));
        QCOMPARE(car->Command2->text(), QStringLiteral("reset"));
        QCOMPARE(car->Command6->text(), QStringLiteral("stress"));
        QCOMPARE(car->Text4->text(), QStringLiteral("5"));
        QCOMPARE(car->Label2->text(), QStringLiteral("Status - "));
        for (Lamp* lamp : {car->Label3, car->Label4, car->Label5})
            QCOMPARE(lamp->color(), color::LightGrey);
        QVERIFY(car->Timer4->enabled());
        for (VTimer* t : {car->Timer1, car->Timer2, car->Timer3, car->Timer5, car->Timer7})
            QVERIFY(!t->enabled());
        QCOMPARE(car->Timer7->interval(), 100);
        QVERIFY(car->MOpen->isChecked()); // the port opened as the screen loaded
    }

    void carScreenStacking()
    {
        Form1* car = windows->showForm1();
        const QObjectList& kids = car->client->children();
        QVERIFY(kids.indexOf(car->Command1) > kids.indexOf(car->Command3));
        QVERIFY(kids.indexOf(car->Picture1) > kids.indexOf(car->Term));
        car->Command1->click(); // "pmi 1" shows the panel over the terminal
        QVERIFY(car->Picture1->isVisible());
        QVERIFY(car->Text3->isVisible());
        QCOMPARE(car->client->childAt(twipRect(6000, 1000, 0, 0).topLeft()), car->Picture1);
    }

    void carScreenMenus()
    {
        Form1* car = windows->showForm1();
        checkMenus(car, kForm1Menus, std::size(kForm1Menus));
        QCOMPARE(car->MFile->title(), QStringLiteral("&File"));
        QCOMPARE(car->MPort->title(), QStringLiteral("&CommPort"));
        QVERIFY(car->MOpen->isCheckable());
    }

    void carScreenTabOrder()
    {
        Form1* car = windows->showForm1();
        QVERIFY(QTest::qWaitForWindowActive(car));
        const QStringList expected = {
            QStringLiteral("Term"),   QStringLiteral("Command1"), QStringLiteral("Command2"),
            QStringLiteral("txtvel"), QStringLiteral("txtpos"),   QStringLiteral("Command3"),
            QStringLiteral("Text2"),  QStringLiteral("Command4"), QStringLiteral("Command5"),
            QStringLiteral("txtbbt"), QStringLiteral("Command6"), QStringLiteral("Text4"),
            QStringLiteral("txtdpc"), QStringLiteral("Text5")};
        w->serial.open = false; // with the port open the terminal takes every key
        QCOMPARE(tabWalk(car, car->Term), expected);
    }

    void resizingMovesNothing_data()
    {
        QTest::addColumn<bool>("replayScreen");
        QTest::newRow("car screen") << false;
        QTest::newRow("replay screen") << true;
    }
    void resizingMovesNothing()
    {
        QFETCH(bool, replayScreen);
        Form1* car = windows->showForm1();
        QMainWindow* screen = car;
        QWidget* client = car->client;
        if (replayScreen) {
            replay* r = windows->showReplay();
            screen = r;
            client = r->client;
        }
        QHash<QString, QRect> before;
        for (QWidget* c : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            before[c->objectName()] = c->geometry();
        QWidget* term = control(screen, "Term");
        const int shownBefore = client->rect().intersected(term->geometry()).width();
        QVERIFY(shownBefore < term->width()); // the right part is cut off at first
        screen->resize(screen->width() + 300, screen->height() + 100);
        QCoreApplication::processEvents();
        for (QWidget* c : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QCOMPARE(c->geometry(), before.value(c->objectName()));
        QVERIFY(client->rect().intersected(term->geometry()).width() > shownBefore);
    }

    void replaySharesTheCarScreensPlaces_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : kShared)
            QTest::newRow(n) << QString::fromLatin1(n);
    }
    void replaySharesTheCarScreensPlaces()
    {
        QFETCH(QString, name);
        Form1* car = windows->showForm1();
        replay* r = windows->showReplay();
        QWidget* mine = r->client->findChild<QWidget*>(name);
        QWidget* theirs = car->client->findChild<QWidget*>(name);
        QVERIFY2(mine, qPrintable(name));
        QVERIFY2(theirs, qPrintable(name));
        QCOMPARE(mine->geometry(), theirs->geometry());
        QCOMPARE(mine->isVisible(), theirs->isVisible());
        QCOMPARE(QLatin1String(mine->metaObject()->className()),
                 QLatin1String(theirs->metaObject()->className()));
    }

    void replayControls_data()
    {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < std::size(kReplay); ++i)
            QTest::newRow(kReplay[i].name) << int(i);
    }
    void replayControls()
    {
        QFETCH(int, row);
        const Place& p = kReplay[row];
        windows->showForm1();
        replay* r = windows->showReplay();
        QWidget* c = control(r->client, p.name);
        QVERIFY2(c, p.name);
        QCOMPARE(QLatin1String(c->metaObject()->className()), QLatin1String(p.kind));
        QCOMPARE(c->geometry(), twipRect(p.left, p.top, p.width, p.height));
        QCOMPARE(c->isVisible(), p.visible);
        QCOMPARE(c->isEnabled(), p.enabled);
    }

    void replayAsItOpens()
    {
        windows->showForm1();
        replay* r = windows->showReplay();
        QCOMPARE(r->windowTitle(), QStringLiteral("Vantrel Car"));
        QCOMPARE(r->client->size(), twipRect(0, 0, 11070, 7125).size());
        QCOMPARE(backColor(r->client), color::LightGrey);
        QCOMPARE(r->client->findChildren<QLabel*>(QRegularExpression(QStringLiteral("^lbl?_?\\d")))
                     .size(),
                 144);
        QCOMPARE(r->Text5->text(), QStringLiteral("1000"));
        QVERIFY(r->Option3->isChecked());
        QVERIFY(!r->Option1->isChecked());
        QVERIFY(!r->Option2->isChecked());
        QVERIFY(!r->Option4->isChecked());
        QCOMPARE(r->Command1->text(), QStringLiteral("-->"));
        QCOMPARE(r->HScroll1->interval(), 1000);
        QCOMPARE(r->HScroll1->minimum(), 0);
        QCOMPARE(r->HScroll1->maximum(), 1000);
        QCOMPARE(r->HScroll1->singleStep(), 1);
        QCOMPARE(r->HScroll1->pageStep(), 1);
        QVERIFY(!r->Timer7->enabled());
        QVERIFY(!r->Timer1->enabled());
        QCOMPARE(r->Timer7->interval(), 1000);
        QCOMPARE(r->Timer1->interval(), 250);
        QVERIFY(r->isVisible());
        // The parse buffer is out of sight: no control on the screen holds it (the
        // buffer's own isVisible() is false by definition and proves nothing).
        QVERIFY(!r->findChild<QWidget*>(QStringLiteral("Text1")));
        QVERIFY(!r->Picture1->isVisible());
        QVERIFY(r->findChildren<QPushButton*>().size() == 1); // no car commands here
        checkMenus(r, kReplayMenu, std::size(kReplayMenu));
        QCOMPARE(r->menuBar()->actions().size(), 1);
    }

    void replayTabOrder()
    {
        windows->showForm1();
        replay* r = windows->showReplay();
        QVERIFY(QTest::qWaitForWindowActive(r));
        // Hidden and disabled controls are skipped; the option group is one stop. The
        // find bar at the foot comes after the screen's own controls (going to a line
        // and stepping between hits wait for a log).
        const QStringList expected = {
            QStringLiteral("Term"),        QStringLiteral("txtvel"),   QStringLiteral("txtpos"),
            QStringLiteral("Text2"),       QStringLiteral("txtbbt"),   QStringLiteral("txtdpc"),
            QStringLiteral("HScroll1"),    QStringLiteral("Option3"),  QStringLiteral("Text5"),
            QStringLiteral("SerialComm1"), QStringLiteral("FindText"), QStringLiteral("FindCase")};
        QCOMPARE(tabWalk(r, r->Term), expected);
    }

    void startUpWindows()
    {
        windows->start();
        Form5* splash = windows->form5();
        QCOMPARE(splash->size(), twipRect(0, 0, 7365, 5820).size());
        QCOMPARE(splash->Label1->geometry(), twipRect(360, 120, 6735, 615));
        QCOMPARE(splash->Label2->geometry(), twipRect(1080, 1440, 4815, 495));
        QCOMPARE(splash->Label5->geometry(), twipRect(1800, 2040, 3495, 255));
        QCOMPARE(splash->Label3->geometry(), twipRect(2520, 2400, 1695, 495));
        QCOMPARE(splash->Label4->geometry(), twipRect(1800, 3000, 3015, 375));
        QCOMPARE(splash->Label2->font().pointSizeF(), 12.0);
        QCOMPARE(splash->Label5->font().pointSizeF(), 8.25);
        QCOMPARE(splash->Label3->font().pointSizeF(), 13.5);

        frmLogin* login = windows->showLogin();
        QCOMPARE(login->size(), twipRect(0, 0, 3915, 3525).size());
        QCOMPARE(login->lblLabels[1]->geometry(), twipRect(105, 540, 1080, 248));
        QCOMPARE(login->txtPassword->geometry(), twipRect(1305, 525, 2325, 285));
        QCOMPARE(login->lblLabels[0]->geometry(), twipRect(105, 150, 1080, 248));
        QCOMPARE(login->txtUserName->geometry(), twipRect(1305, 135, 2325, 285));
        QCOMPARE(login->cmdOK->geometry(), twipRect(495, 1020, 1140, 360));
        QCOMPARE(login->cmdCancel->geometry(), twipRect(2100, 1020, 1140, 360));
        QCOMPARE(login->Label1->geometry(), twipRect(840, 1680, 1935, 255));
        QCOMPARE(login->Label2->geometry(), twipRect(840, 2040, 2415, 255));
        QCOMPARE(login->lblLabels[1]->text(), QStringLiteral("&Password:"));
        QCOMPARE(login->lblLabels[0]->text(), QStringLiteral("&User Name:"));
        QCOMPARE(login->Label1->text(), QStringLiteral("Created 11/18/2008"));
        QCOMPARE(login->cmdOK->text(), QStringLiteral("OK"));
        QCOMPARE(login->cmdCancel->text(), QStringLiteral("Cancel"));

        Form3* menu = windows->showForm3();
        QCOMPARE(menu->centralWidget()->size(), twipRect(0, 0, 7365, 6120).size());
        QCOMPARE(menu->menuBar()->actions().size(), 3);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
