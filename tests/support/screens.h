#pragma once

#include "fakes.h"
#include "shell/form1.h"
#include "shell/windows.h"

#include <memory>

namespace vantrel::test
{

// A fresh fake world and window registry for each test function: the start-up windows
// and both large screens are made through it as the program makes them.
struct WindowsFixture {
    std::unique_ptr<FakeWorld> w;
    std::unique_ptr<Windows> windows;
    void openWindows();
    void closeWindows();
    // Every window of the program on screen at once: the splash, the login, the menu,
    // both large screens and the settings window. Hands back the car screen.
    Form1* showEveryWindow();
    // The windows on screen, each with its controls.
    static QList<QWidget*> shownWindows();
};

// A fresh replay screen for each test function, beside the car screen it comes from, as
// the program shows it: init() and cleanup() of the test.
struct ReplayFixture : WindowsFixture {
    replay* r = nullptr;
    void openReplay();
    void closeReplay();
};

// A fresh car diagnostics screen over a fake world for each test function, loaded
// (its port open and the CR sent) unless asked not to, and what it sent since.
struct CarScreenFixture {
    std::unique_ptr<FakeWorld> w;
    std::unique_ptr<Form1> form;
    void openScreen(bool load = true);
    // The screen again, on other services (the world stays).
    void openScreenOn(const Services& services);
    void closeScreen();
    QByteArray takeSent();
};

} // namespace vantrel::test
