#include "appicon.h"

#include <QDir>

namespace vantrel
{

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
