#include "carscreen.h"

#include "application.h"

#include "diagnostics/signalgrid.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/lamp.h"
#include "widgets/readout.h"
#include "widgets/textbox.h"
#include "widgets/twips.h"

#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace vantrel
{

QLineEdit* makeLineEdit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

void fitClientArea(QMainWindow* window, QWidget* client, const QSize& size)
{
    // The menu bar's height is known only once the window's layout has run.
    window->resize(size);
    window->layout()->activate();
    window->resize(window->size() + size - client->size());
    window->layout()->activate();
}

void fitCarScreen(QMainWindow* window, QWidget* client)
{
    const Twips t(client);
    fitClientArea(window, client, QSize(t(11070), t(7125)));
}

void setTabOrder(std::initializer_list<QWidget*> order)
{
    for (auto it = order.begin(); it + 1 != order.end(); ++it)
        QWidget::setTabOrder(*it, *(it + 1));
}

namespace
{
Lamp* lamp(QWidget* parent, const char* name, const Twips& t, int left, int top)
{
    auto* l = new Lamp(name, parent);
    t.place(l, left, top, 375, 375);
    return l;
}
} // namespace

QMenu* addMenu(QMenuBar* bar, const char* name, const char* caption)
{
    QMenu* m = bar->addMenu(QLatin1String(caption));
    m->setObjectName(QLatin1String(name));
    return m;
}

QAction* addItem(QMenu* menu, const char* name, const char* caption, bool enabled)
{
    QAction* a = caption ? menu->addAction(QLatin1String(caption)) : menu->addSeparator();
    a->setObjectName(QLatin1String(name));
    a->setEnabled(enabled);
    return a;
}

void buildCarScreenCommon(QMainWindow* window, CarScreenCommon& c)
{
    c.form = window;
    c.client = new QWidget(window);
    c.client->setObjectName(QStringLiteral("client"));
    window->setCentralWidget(c.client);
    QWidget* client = c.client;
    const Twips t(client);
    setBackColor(client, color::LightGrey);
    client->setFont(windowFont());

    c.Label2 = new QLabel(QStringLiteral("Status - "), client);
    c.Label2->setObjectName(QStringLiteral("Label2"));
    t.place(c.Label2, 120, 0, 732, 192);
    setBackColor(c.Label2, color::LightGrey);
    // Read as the message it shows.
    c.Label1 = new Readout(QStringLiteral("Label1"), {}, client, Readout::Reads::ValueElseWords);
    t.place(c.Label1, 840, 0, 6612, 192);
    setBackColor(c.Label1, color::LightGrey);
    c.Line1 = new QFrame(client);
    c.Line1->setObjectName(QStringLiteral("Line1"));
    c.Line1->setGeometry(t(-360), t(240), t(6960 + 360), 1);
    setBackColor(c.Line1, color::Grey);

    c.grid = new SignalGrid(client);

    c.Term = new CrLfEdit(QStringLiteral("Term"), client);
    t.place(c.Term, 5520, 360, 9495, 3975);
    c.Term->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.Term->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.Text1 = new TextBox(QStringLiteral("Text1"), client);

    c.Picture1 = new QFrame(client);
    c.Picture1->setObjectName(QStringLiteral("Picture1"));
    t.place(c.Picture1, 5520, 240, 5895, 4095);
    setBackColor(c.Picture1, color::LightGrey);
    c.Picture1->setFocusPolicy(Qt::StrongFocus);
    c.Picture1->hide();
    c.Picture1->raise();

    c.Label3 = lamp(client, "Label3", t, 3000, 4440);
    c.Label4 = lamp(client, "Label4", t, 9960, 5760);
    c.Label5 = lamp(client, "Label5", t, 9960, 6240);

    c.txtdpc = makeLineEdit(client, "txtdpc");
    t.place(c.txtdpc, 4200, 4440, 735, 285);
    c.txtbbt = makeLineEdit(client, "txtbbt");
    t.place(c.txtbbt, 6000, 4440, 615, 285);
    c.txtpos = makeLineEdit(client, "txtpos");
    t.place(c.txtpos, 6720, 4440, 495, 285);
    c.txtvel = makeLineEdit(client, "txtvel");
    t.place(c.txtvel, 7440, 4440, 495, 285);
    c.Text2 = makeLineEdit(client, "Text2");
    t.place(c.Text2, 8880, 5160, 615, 375);
}

} // namespace vantrel
