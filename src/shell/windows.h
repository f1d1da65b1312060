#pragma once

#include "platform/services.h"

#include "shell/form1.h"

#include <QPointer>

namespace vantrel
{

// Owns the program's windows: each exists at most once, is created on first show,
// shown modeless, and brought forward when shown again.
class Windows
{
public:
    explicit Windows(const Services& services) : m_s(services) {}
    ~Windows();

    const Services& services() const { return m_s; }
    Form1* form1() const { return m_form1; }
    // Creates and loads the car diagnostics screen on first use.
    Form1* showForm1();

private:
    Services m_s;
    QPointer<Form1> m_form1;
};

// Shows a window and brings it forward.
void bringForward(QWidget* w);

} // namespace vantrel
