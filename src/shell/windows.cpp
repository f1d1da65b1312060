#include "windows.h"

#include "form1.h"

namespace vantrel
{

Windows::~Windows()
{
    delete m_form1;
}

void bringForward(QWidget* w)
{
    w->show();
    w->raise();
    w->activateWindow();
}

Form1* Windows::showForm1()
{
    if (!m_form1) {
        m_form1 = new Form1(m_s);
        m_form1->Form_Load();
    }
    bringForward(m_form1);
    return m_form1;
}

} // namespace vantrel
