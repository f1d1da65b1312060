#pragma once

#include "platform/services.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;

namespace vantrel
{

// "Configure Comm Port": shows the port's settings string and number when it opens
// and applies what it holds when it closes.
class ConfigScrn final : public QWidget
{
    Q_OBJECT
public:
    ConfigScrn(const Services& services, std::function<void()> portStateChanged,
               QWidget* parent = nullptr);

    static constexpr int kRefreshMs = 1000;

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;
    QLineEdit* Text2;
    // The machine's serial ports by number; choosing one puts its number in Text2.
    QLabel* Label3;
    QTreeWidget* List1;
    // Opens the port without ever writing to it.
    QCheckBox* Check1;

    void Form_Load();
    void Form_Unload();
    // Looks at the machine's ports again (also every second while the window is open).
    void refreshPorts();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void portChosen();

    Services m_s;
    std::function<void()> m_portStateChanged;
    QTimer* m_refresh;
    QString m_shown; // what the list shows now, to redraw it only when it changed
    bool m_filling = false;
    // A row becomes the current one by the technician's hand (a click, a move of the
    // keys), not because the focus arrived in the list.
    bool m_choosing = false;
};

} // namespace vantrel
