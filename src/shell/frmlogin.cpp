#include "frmlogin.h"

#include "application.h"

#include "carscreen.h"
#include "widgets/accessible.h"
#include "widgets/twips.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vantrel
{

frmLogin::frmLogin(const Services& services, QWidget* parent) : QDialog(parent), m_s(services)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Password challenge"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setSizeGripEnabled(false);
    setFont(windowFont());
    const Twips t(this);
    setFixedSize(t(3915), t(3525));

    const auto label = [&](const char* name, const QString& text, int l, int tp, int w, int h) {
        auto* lb = new QLabel(text, this);
        lb->setObjectName(QLatin1String(name));
        t.place(lb, l, tp, w, h);
        return lb;
    };
    const auto box = [&](const char* name, int l, int tp, int w, int h) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        t.place(e, l, tp, w, h);
        return e;
    };
    lblLabels[1] = label("lblLabels(1)", QStringLiteral("&Password:"), 105, 540, 1080, 248);
    txtPassword = box("txtPassword", 1305, 525, 2325, 285);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    lblLabels[0] = label("lblLabels(0)", QStringLiteral("&User Name:"), 105, 150, 1080, 248);
    txtUserName = box("txtUserName", 1305, 135, 2325, 285);
    lblLabels[1]->setBuddy(txtPassword);
    lblLabels[0]->setBuddy(txtUserName);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    t.place(cmdOK, 495, 1020, 1140, 360);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    t.place(cmdCancel, 2100, 1020, 1140, 360);
    cmdCancel->setAutoDefault(false);
    Label1 = label("Label1", QStringLiteral("Created 11/18/2008"), 840, 1680, 1935, 255);
    Label2 = label("Label2", QStringLiteral("Vantrel engineering"), 840, 2040, 2415, 255);

    // The password box comes first although the user name box sits above it.
    setTabOrder(txtPassword, txtUserName);
    setTabOrder(txtUserName, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    txtPassword->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    txtUserName->installEventFilter(this);
    nameControls(this, {{QStringLiteral("txtPassword"), QStringLiteral("Password")},
                        {QStringLiteral("txtUserName"), QStringLiteral("User name")}});
}

void frmLogin::cmdOK_Click()
{
    if (txtPassword->text() == QLatin1String(kPassword)) {
        leaveForMenu();
        return;
    }
    m_s.boxes->show(QStringLiteral("Invalid Password, try again!"), mb::OkOnly,
                    QStringLiteral("Login"));
    activateWindow(); // the keyboard comes back here from the box
    txtPassword->setFocus();
    txtPassword->setSelection(0, int(txtPassword->text().size()));
}

void frmLogin::cmdCancel_Click()
{
    m_left = true;
    m_s.exit->endProgram(0);
}

void frmLogin::txtUserName_GotFocus()
{
    leaveForMenu();
}

void frmLogin::leaveForMenu()
{
    if (m_left)
        return;
    m_left = true;
    Q_EMIT leftForMenu();
    // Closed after the event that led here has been handled, never inside it.
    hide();
    deleteLater();
}

bool frmLogin::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == txtUserName && e->type() == QEvent::FocusIn)
        txtUserName_GotFocus();
    return QDialog::eventFilter(watched, e);
}

} // namespace vantrel
