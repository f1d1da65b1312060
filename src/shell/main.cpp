#include "application.h"
#include "platform/portrouter.h"
#include "windows.h"

#include <QApplication>

using namespace vantrel;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    setUpApplication();
    // The windows end the program themselves, each in its own way.
    QApplication::setQuitOnLastWindowClosed(false);

    PortRouter serial;
    QtMessageBoxes boxes;
    serial.network().setTrustQuestion([&boxes](const QString& place, const QString& fingerprint) {
        constexpr int kYesNoQuestion = 4 + 32;
        return boxes.show(QStringLiteral("The server %1 shows a certificate that no authority "
                                         "file vouches for.\n\nSHA-256 fingerprint:\n%2\n\n"
                                         "Trust this server from now on?")
                              .arg(place, fingerprint),
                          kYesNoQuestion) == mb::Yes;
    });
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
