#include "application.h"

#include "platform/messageboxes.h"
#include "widgets/accessible.h"
#include "widgets/screenfit.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

namespace vantrel
{

void setUpApplication()
{
    QApplication::setApplicationName(kAppTitle);
    // What a window remembers (QSettings) goes under the program's own name.
    QApplication::setOrganizationName(kAppTitle);
    QApplication::setWindowIcon(appIcon());
    QApplication::setDesktopFileName(desktopEntryName());
    // Plain bevelled controls, as the screens were drawn with; they also draw with flat
    // fills, where the default style's gradients cost a thread hand-over per repaint.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    installAccessibleFactory();
    // Whatever the screen's size and scale, each window opens where all of it can be seen.
    keepWindowsOnScreen();
}

QFont windowFont(double points)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(true);
    return f;
}

QIcon appIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icons"));
    for (const QString& name : sizes.entryList(QDir::Files))
        icon.addFile(sizes.filePath(name)); // each file's size is read from the file
    return icon;
}

QString desktopEntryName()
{
    return QStringLiteral(VANTREL_APP_ID);
}

} // namespace vantrel
