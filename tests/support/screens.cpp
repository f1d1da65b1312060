#include "screens.h"

#include <QApplication>

namespace vantrel::test
{

void WindowsFixture::openWindows()
{
    w = std::make_unique<FakeWorld>();
    windows = std::make_unique<Windows>(w->services());
}

void WindowsFixture::closeWindows()
{
    windows.reset();
    w.reset();
}

void ReplayFixture::openReplay()
{
    openWindows();
    windows->showForm1();
    r = windows->showReplay();
}

void ReplayFixture::closeReplay()
{
    closeWindows();
    r = nullptr;
}

Form1* WindowsFixture::showEveryWindow()
{
    windows->start();
    windows->showLogin();
    windows->showForm3();
    Form1* car = windows->showForm1();
    windows->showReplay();
    car->MSettings_Click();
    return car;
}

QList<QWidget*> WindowsFixture::shownWindows()
{
    QList<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            shown << window;
    return shown;
}

void CarScreenFixture::openScreen(bool load)
{
    w = std::make_unique<FakeWorld>();
    form = std::make_unique<Form1>(w->services());
    if (load)
        form->Form_Load();
    w->serial.sent.clear();
    w->serial.history.clear();
}

void CarScreenFixture::openScreenOn(const Services& services)
{
    form = std::make_unique<Form1>(services);
    form->Form_Load();
}

void CarScreenFixture::closeScreen()
{
    form.reset();
    w.reset();
}

QByteArray CarScreenFixture::takeSent()
{
    const QByteArray sent = w->serial.sent;
    w->serial.sent.clear();
    return sent;
}

} // namespace vantrel::test
