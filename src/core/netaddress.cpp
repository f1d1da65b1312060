#include "netaddress.h"

#include <QStringList>
#include <QUrl>

namespace vantrel
{

QString NetAddress::place() const
{
    // An IPv6 address keeps its brackets, so the port stays readable after it.
    const QString shown =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shown + QLatin1Char(':') + QString::number(port);
}

bool isNetAddress(const QString& text)
{
    return text.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("socket://"), Qt::CaseInsensitive);
}

Result<NetAddress> parseNetAddress(const QString& text)
{
    const auto fail = [&](const QString& why) {
        return Failure(QStringLiteral("Invalid network port \"%1\": %2").arg(text, why));
    };
    if (!isNetAddress(text))
        return fail(QStringLiteral("it must begin with rfc2217:// or socket://"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return fail(QStringLiteral("no host name"));
    if (url.port() <= 0)
        return fail(QStringLiteral("no TCP port number (1 to 65535) after the host"));
    if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        return fail(QStringLiteral("unexpected \"%1\" after the port number").arg(url.path()));
    NetAddress a;
    a.kind = url.scheme().compare(QLatin1String("socket"), Qt::CaseInsensitive) == 0
                 ? NetAddress::Kind::Raw
                 : NetAddress::Kind::ComPort;
    a.host = url.host();
    a.port = quint16(url.port());
    const QString query = url.query(QUrl::FullyDecoded);
    for (const QString& option : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype eq = option.indexOf(QLatin1Char('='));
        const QString name = option.left(eq);
        const QString value = eq < 0 ? QString() : option.mid(eq + 1);
        if (name == QLatin1String("tls") && eq < 0)
            a.tls = true;
        else if (name == QLatin1String("ca") && !value.isEmpty())
            a.ca = value;
        else if (name == QLatin1String("cert") && !value.isEmpty())
            a.cert = value;
        else if (name == QLatin1String("key") && !value.isEmpty())
            a.key = value;
        else
            return fail(QStringLiteral("unknown option \"%1\"").arg(option));
    }
    if ((!a.ca.isEmpty() || !a.cert.isEmpty()) && !a.tls)
        return fail(QStringLiteral("ca and cert need tls"));
    if (a.cert.isEmpty() != a.key.isEmpty())
        return fail(QStringLiteral("cert and key go together"));
    return a;
}

} // namespace vantrel
