#include "messageboxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace vantrel
{

int QtMessageBoxes::show(const QString& text, int buttons, const QString& title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? kAppTitle : title);
    box.setText(text);
    struct Choice {
        QMessageBox::StandardButton button;
        int answer;
    };
    QList<Choice> choices;
    switch (buttons & 0x0F) {
    case 1:
        choices = {{QMessageBox::Ok, mb::Ok}, {QMessageBox::Cancel, mb::Cancel}};
        break;
    case 2:
        choices = {{QMessageBox::Abort, mb::Abort},
                   {QMessageBox::Retry, mb::Retry},
                   {QMessageBox::Ignore, mb::Ignore}};
        break;
    case 3:
        choices = {{QMessageBox::Yes, mb::Yes},
                   {QMessageBox::No, mb::No},
                   {QMessageBox::Cancel, mb::Cancel}};
        break;
    case 4:
        choices = {{QMessageBox::Yes, mb::Yes}, {QMessageBox::No, mb::No}};
        break;
    case 5:
        choices = {{QMessageBox::Retry, mb::Retry}, {QMessageBox::Cancel, mb::Cancel}};
        break;
    default:
        choices = {{QMessageBox::Ok, mb::Ok}};
        break;
    }
    switch (buttons & 0xF0) {
    case 16:
        box.setIcon(QMessageBox::Critical);
        break;
    case 32:
        box.setIcon(QMessageBox::Question);
        break;
    case 48:
        box.setIcon(QMessageBox::Warning);
        break;
    case 64:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    QMessageBox::StandardButtons set;
    for (const Choice& c : choices)
        set |= c.button;
    box.setStandardButtons(set);
    box.setDefaultButton(choices.first().button);
    const bool hasCancel = std::any_of(choices.begin(), choices.end(),
                                       [](const Choice& c) { return c.answer == mb::Cancel; });
    if (hasCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    for (const Choice& c : choices)
        if (box.clickedButton() == box.button(c.button))
            return c.answer;
    return hasCancel ? mb::Cancel : choices.first().answer;
}

void QtMessageBoxes::beep()
{
    QApplication::beep();
}

} // namespace vantrel
