#pragma once

#include <QList>
#include <QString>

#include <map>
#include <set>

namespace vantrel
{

// A serial port as the machine shows it.
struct PortInfo {
    QString device;      // /dev/ttyUSB0
    QString description; // what the adapter calls itself
    QString manufacturer;
    QString serialNumber;
    QString stableName; // /dev/serial/by-id/... where udev makes one, else empty
};

// One row of the port list.
struct NumberedPort {
    int number = 0;
    PortInfo info;
    bool present = true; // false: numbered earlier in this run, unplugged now
    QString note;        // why the number names this device, when not found by looking
};

// Numbers the machine's serial ports the way technicians are used to: 1 to 4 are the
// built-in /dev/ttyS0 to ttyS3, every other port takes 5 upwards in the order of its
// stable name (its device path where it has none). A number stays with its port while
// the program runs, also while the port is unplugged; ports first seen later take the
// next free numbers. So the same adapters get the same numbers in every run where the
// set of adapters has not changed. A number named in `overrides` (from VANTREL_COM<N>)
// means that device, whatever the machine shows; the port that would have had that
// number takes the next free one instead, so it can still be chosen.
class PortMap
{
public:
    static constexpr int kBuiltIn = 4;
    static constexpr int kMaxPort = 255;

    explicit PortMap(std::map<int, QString> overrides = {});
    void setOverrides(std::map<int, QString> overrides) { m_overrides = std::move(overrides); }

    // Takes the ports the machine shows now.
    void update(const QList<PortInfo>& found);
    bool updated() const { return m_updated; }
    // The rows of the list, by number.
    QList<NumberedPort> rows() const;
    // The device a number opens: the port's stable name where it has one.
    QString deviceFor(int number) const;

    // VANTREL_COM<N> variables of this process, by number.
    static std::map<int, QString> environmentOverrides();

    // A name for the device short enough for the status line: the kernel's name of the
    // device a path leads to (ttyUSB0), or the path's last part, cut to kShortName.
    static constexpr int kShortName = 24;
    static QString shortName(const QString& path, const QString& resolved = {});

private:
    static QString key(const PortInfo& p);
    bool taken(int number) const { return m_overrides.count(number) != 0; }
    static int builtInNumber(const QString& device);

    std::map<int, QString> m_overrides;
    std::map<QString, int> m_numbers; // key → number
    std::map<int, PortInfo> m_ports;  // number → the port as last seen
    std::set<int> m_present;
    bool m_updated = false;
};

} // namespace vantrel
