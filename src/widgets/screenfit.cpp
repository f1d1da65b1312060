#include "screenfit.h"

#include <QApplication>
#include <QLayout>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWindow>

#include <algorithm>

namespace vantrel
{

namespace
{
constexpr char kScrollName[] = "scrolledClient";
constexpr char kPlacedProperty[] = "vantrelKeptOnScreen";

QMargins widest(QMargins a, const QMargins& b)
{
    a.setLeft(std::max(a.left(), b.left()));
    a.setTop(std::max(a.top(), b.top()));
    a.setRight(std::max(a.right(), b.right()));
    a.setBottom(std::max(a.bottom(), b.bottom()));
    return a;
}

// The frame the desktop puts around the window: known once it has been on screen, and
// before that taken from the program's other windows, which the desktop decorates alike.
QMargins frameOf(const QWidget* window)
{
    QMargins frame;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if ((w == window || w->isVisible()) && w->windowHandle() &&
            (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog))
            frame = widest(frame, w->windowHandle()->frameMargins());
    return frame;
}

QScrollArea* makeScrollArea(QWidget* window, const QWidget* client)
{
    auto* scroll = new QScrollArea(window);
    scroll->setObjectName(QLatin1String(kScrollName));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(false);
    // Not a stop of its own on Tab: the keys go on through the controls as they did.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setAccessibleName(client && !client->accessibleName().isEmpty()
                                  ? client->accessibleName()
                                  : window->windowTitle());
    scroll->setBackgroundRole(client ? client->backgroundRole() : QPalette::Window);
    return scroll;
}

// Puts the window's fixed layout in a scroll area filling the window: a main window's
// client area, or a plain window's controls (moved, where they are, onto a client of
// the window's size). Windows laid out by a layout shrink by themselves and are left.
QScrollArea* wrapFixedLayout(QWidget* window)
{
    if (auto* done =
            window->findChild<QScrollArea*>(QLatin1String(kScrollName), Qt::FindDirectChildrenOnly))
        return done;
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        QWidget* client = main->centralWidget();
        if (!client || qobject_cast<QAbstractScrollArea*>(client))
            return nullptr;
        QScrollArea* scroll = makeScrollArea(window, client);
        main->takeCentralWidget();
        scroll->setWidget(client);
        main->setCentralWidget(scroll);
        scroll->show();
        return scroll;
    }
    if (window->layout())
        return nullptr;
    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->resize(window->size());
    for (QWidget* control : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!control->isWindow())
            control->setParent(client);
    QScrollArea* scroll = makeScrollArea(window, nullptr);
    scroll->setWidget(client);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    scroll->show();
    return scroll;
}

// The controls Tab goes through, in its order from the window on.
QList<QWidget*> tabOrder(QWidget* window)
{
    QList<QWidget*> order;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
    return order;
}

// As wrapFixedLayout, with Tab going through the controls in the order it did, from the
// same first one.
QScrollArea* scrollFixedLayout(QWidget* window)
{
    const QList<QWidget*> order = tabOrder(window);
    QScrollArea* scroll = wrapFixedLayout(window);
    if (scroll)
        for (qsizetype i = 1; i < order.size(); ++i)
            QWidget::setTabOrder(order[i - 1], order[i]);
    return scroll;
}

// The largest size within room that shows as much of the window as its size does, with
// room for the scroll bars a smaller size brings.
QSize sizeWithin(const QWidget* window, const QScrollArea* scroll, const QSize& room)
{
    QSize want = window->size();
    if (scroll) {
        const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
        bool across = false;
        bool down = false;
        for (int pass = 0; pass < 2; ++pass) {
            if (!down && want.height() > room.height()) {
                down = true;
                want.rwidth() += bar;
            }
            if (!across && want.width() > room.width()) {
                across = true;
                want.rheight() += bar;
            }
        }
    }
    return want.boundedTo(room);
}

class OnScreenKeeper final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() != QEvent::Show || e->spontaneous() || !o->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(o);
        if (!w->isWindow() || (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog) ||
            w->property(kPlacedProperty).toBool())
            return false;
        w->setProperty(kPlacedProperty, true);
        keepOnScreen(w);
        return false;
    }
};
} // namespace

QRect availableArea(const QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void keepOnScreen(QWidget* window)
{
    const QRect area = availableArea(window);
    if (area.isEmpty())
        return;
    const QMargins frame = frameOf(window);
    const QSize room = area.size().shrunkBy(frame);
    if (window->width() > room.width() || window->height() > room.height()) {
        QScrollArea* scroll = scrollFixedLayout(window);
        if (window->layout())
            window->layout()->activate();
        const QSize size = sizeWithin(window, scroll, room);
        window->setMinimumSize(window->minimumSize().boundedTo(size));
        window->resize(size);
    }
    const QSize outer = window->size().grownBy(frame);
    // The top left corner stays on screen should the window still be the larger.
    const QPoint at(
        std::max(area.left(), std::min(window->x(), area.right() + 1 - outer.width())),
        std::max(area.top(), std::min(window->y(), area.bottom() + 1 - outer.height())));
    if (at != window->pos())
        window->move(at);
}

void keepWindowsOnScreen()
{
    static QPointer<OnScreenKeeper> keeper;
    if (!keeper) {
        keeper = new OnScreenKeeper(qApp);
        qApp->installEventFilter(keeper);
    }
}

} // namespace vantrel
