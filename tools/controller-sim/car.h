#pragma once

#include <string>

namespace sim
{

// One elevator car on landings B and 1 to 6 (index 0 to 6), as the controller sees it.
class Car
{
public:
    static constexpr int kLandings = 7;
    static constexpr int kMaxSpeed = 200; // feet per minute

    void reset();
    // Sends the car to a landing index 0..6; false when out of range.
    bool sendTo(int landing);
    bool step(int delta);
    // Advances the car by dt seconds.
    void tick(double dt);

    int speed() const { return int(m_speed + 0.5); }
    bool moving() const { return m_speed > 0.0 || m_target != m_landing; }
    int landing() const { return m_landing; }
    int trips() const { return m_trips; }
    const std::string& fault() const { return m_fault; }

    // The 9-line PMI dump (header and 8 data lines), each line ended by `eol`.
    std::string pmiDump(const std::string& eol) const;

private:
    void arrive();

    double m_pos = 1.0; // in landings
    double m_speed = 0.0;
    int m_landing = 1;
    int m_target = 1;
    int m_trips = 0;
    double m_doorTimer = 0.0;
    bool m_doorOpen = false;
    std::string m_fault = "NO FAULT";
};

} // namespace sim
