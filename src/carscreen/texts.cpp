#include "texts.h"

namespace vantrel
{

QString logCaption(const QString& fileTitle)
{
    const QString caption = QStringLiteral("Comm Terminal");
    return fileTitle.isEmpty() ? caption : caption + QStringLiteral(" - ") + fileTitle;
}

QString portLostText(int port, const QString& shortName)
{
    return QStringLiteral("Port %1 lost: %2 is gone").arg(port).arg(shortName);
}

QString portBackText(int port, const QString& shortName)
{
    return QStringLiteral("Port %1 back: %2 reopened").arg(port).arg(shortName);
}

QHash<QString, QString> carScreenWords()
{
    return {{QStringLiteral("client"), QStringLiteral("Car diagnostics screen")},
            {QStringLiteral("Label1"), QStringLiteral("Status line")},
            {QStringLiteral("Line1"), QStringLiteral("Status line rule")},
            {QStringLiteral("Term"), QStringLiteral("Terminal")},
            {QStringLiteral("Picture1"), QStringLiteral("Overlay panel")},
            {QStringLiteral("Label3"), QStringLiteral("PMI request lamp")},
            {QStringLiteral("Label4"), QStringLiteral("Receive lamp")},
            {QStringLiteral("Label5"), QStringLiteral("Send lamp")},
            {QStringLiteral("txtdpc"), QStringLiteral("DPC")},
            {QStringLiteral("txtbbt"), QStringLiteral("BBT")},
            {QStringLiteral("txtpos"), QStringLiteral("Position")},
            {QStringLiteral("txtvel"), QStringLiteral("Speed")},
            {QStringLiteral("Text2"), QStringLiteral("Stop count")}};
}

} // namespace vantrel
