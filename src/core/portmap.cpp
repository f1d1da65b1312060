#include "portmap.h"

#include "netaddress.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

#include <algorithm>

namespace vantrel
{

PortMap::PortMap(std::map<int, QString> overrides) : m_overrides(std::move(overrides)) {}

QString PortMap::key(const PortInfo& p)
{
    return p.stableName.isEmpty() ? p.device : p.stableName;
}

int PortMap::builtInNumber(const QString& device)
{
    static const QRegularExpression builtIn(QStringLiteral("^/dev/ttyS([0-3])$"));
    const auto m = builtIn.match(device);
    return m.hasMatch() ? m.captured(1).toInt() + 1 : 0;
}

void PortMap::update(const QList<PortInfo>& found)
{
    m_present.clear();
    QList<PortInfo> fresh;
    for (const PortInfo& p : found) {
        auto it = m_numbers.find(key(p));
        const int builtIn = builtInNumber(p.device);
        if (it == m_numbers.end() && builtIn != 0 && !taken(builtIn))
            it = m_numbers.emplace(key(p), builtIn).first;
        if (it == m_numbers.end()) {
            fresh << p;
            continue;
        }
        m_ports[it->second] = p;
        m_present.insert(it->second);
    }
    std::sort(fresh.begin(), fresh.end(),
              [](const PortInfo& a, const PortInfo& b) { return key(a) < key(b); });
    int next = kBuiltIn + 1;
    for (const auto& [number, port] : m_ports)
        next = std::max(next, number + 1);
    for (const PortInfo& p : fresh) {
        while (taken(next))
            ++next;
        if (next > kMaxPort)
            break;
        m_numbers[key(p)] = next;
        m_ports[next] = p;
        m_present.insert(next);
        ++next;
    }
    m_updated = true;
}

QList<NumberedPort> PortMap::rows() const
{
    std::map<int, NumberedPort> rows;
    for (const auto& [number, port] : m_ports)
        rows[number] = NumberedPort{number, port, m_present.count(number) != 0, {}};
    for (const auto& [number, device] : m_overrides) {
        NumberedPort row;
        row.number = number;
        row.info.device = device;
        const Result<NetAddress> net = parseNetAddress(device);
        row.note = net ? QStringLiteral("network port on %1").arg(net->place())
                       : QStringLiteral("set by VANTREL_COM%1").arg(number);
        rows[number] = row;
    }
    QList<NumberedPort> out;
    for (const auto& [number, row] : rows)
        out << row;
    return out;
}

QString PortMap::deviceFor(int number) const
{
    if (const auto o = m_overrides.find(number); o != m_overrides.end())
        return o->second;
    if (const auto p = m_ports.find(number); p != m_ports.end())
        return p->second.stableName.isEmpty() ? p->second.device : p->second.stableName;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}

QString PortMap::shortName(const QString& path, const QString& resolved)
{
    const QString& from = resolved.isEmpty() ? path : resolved;
    QString name = from.mid(from.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.size() > kShortName)
        name = name.left(kShortName - 1) + QChar(0x2026); // an ellipsis
    return name;
}

std::map<int, QString> PortMap::environmentOverrides()
{
    static const QRegularExpression name(QStringLiteral("^VANTREL_COM([0-9]+)$"));
    std::map<int, QString> out;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& k : env.keys()) {
        const auto m = name.match(k);
        const int number = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (number >= 1 && number <= kMaxPort && !env.value(k).isEmpty())
            out[number] = env.value(k);
    }
    return out;
}

} // namespace vantrel
