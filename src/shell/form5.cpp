#include "form5.h"

#include "application.h"

#include "widgets/accessible.h"
#include "widgets/twips.h"
#include "widgets/vtimer.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

namespace vantrel
{

namespace
{
// When the program's code last changed, shown beside the original release date.
constexpr const char* kLastChanged = "Last changed 12/08/2026";

QLabel* splashLabel(QWidget* parent, const Twips& t, const char* name, const QString& text, int l,
                    int tp, int w, int h, double points)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(windowFont(points));
    t.place(label, l, tp, w, h);
    return label;
}
} // namespace

Form5::Form5(const Services& services, QWidget* parent) : QWidget(parent), m_s(services)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Vantrel"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setFont(windowFont());
    const Twips t(this);
    resize(t(7365), t(5820));
    Label1 = splashLabel(this, t, "Label1", QStringLiteral("Vantrel for Talvik 5000"), 360, 120,
                         6735, 615, 18);
    Label2 = splashLabel(this, t, "Label2", QStringLiteral("Vantrel service engineering"), 1080,
                         1440, 4815, 495, 12);
    Label5 =
        splashLabel(this, t, "Label5", QLatin1String(kLastChanged), 1800, 2040, 3495, 255, 8.25);
    Label3 =
        splashLabel(this, t, "Label3", QStringLiteral("03/19/2003"), 2520, 2400, 1695, 495, 13.5);
    Label4 =
        splashLabel(this, t, "Label4", QStringLiteral("VER 4.14.24"), 1800, 3000, 3015, 375, 13.5);
    Timer1 = new VTimer(kSplashMs, true, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &VTimer::Timer, this, &Form5::Timer1_Timer);
    nameControls(this, {});
}

void Form5::Timer1_Timer()
{
    leaveFor(false);
}

void Form5::Form_Click()
{
    leaveFor(false);
}

void Form5::Form_KeyPress(int)
{
    leaveFor(true);
}

void Form5::leaveFor(bool toMenu)
{
    if (m_left)
        return;
    m_left = true;
    Timer1->setEnabled(false);
    if (toMenu)
        Q_EMIT leftForMenu();
    else
        Q_EMIT leftForLogin();
    close();
}

void Form5::mouseReleaseEvent(QMouseEvent* e)
{
    // Only the background counts; a click on a label is not a click on the window.
    if (e->button() == Qt::LeftButton && !childAt(e->position().toPoint()))
        Form_Click();
}

void Form5::keyPressEvent(QKeyEvent* e)
{
    const QString text = e->text();
    if (text.isEmpty()) {
        QWidget::keyPressEvent(e);
        return;
    }
    Form_KeyPress(text.at(0).unicode());
}

void Form5::closeEvent(QCloseEvent* e)
{
    e->accept();
    // The close box before any other window opened leaves nothing open.
    if (!m_left) {
        m_left = true;
        Timer1->setEnabled(false);
        m_s.exit->endProgram(0);
    }
}

} // namespace vantrel
