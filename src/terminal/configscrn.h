#pragma once

#include "platform/services.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;

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

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;
    QLineEdit* Text2;

    void Form_Load();
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Services m_s;
    std::function<void()> m_portStateChanged;
};

} // namespace vantrel
