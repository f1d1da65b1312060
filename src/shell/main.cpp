#include "application.h"
#include "platform/qtserialcomm.h"
#include "windows.h"

#include <QApplication>

using namespace vantrel;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    setUpApplication();
    // The windows end the program themselves, each in its own way.
    QApplication::setQuitOnLastWindowClosed(false);

    QtSerialComm serial;
    QtMessageBoxes boxes;
    PosixFileSystem files;
    QtClock clock;
    ProcessExit exit;
    exit.addCloser([&] { files.closeAll(); });
    exit.addCloser([&] { serial.release(); });
    Services services{&serial, &boxes, &files,
                      &clock,  &exit,  [] { return std::make_unique<QtFileDialog>(); }};

    Windows windows(services);
    windows.start();
    return app.exec();
}
