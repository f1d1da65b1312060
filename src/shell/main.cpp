#include "platform/qtserialcomm.h"
#include "shell/windows.h"

#include <QApplication>

using namespace vantrel;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
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
    windows.showForm1();
    return app.exec();
}
