#pragma once

#include <QString>

class QWidget;

namespace vantrel
{

// Button codes and answers of the system's message boxes.
namespace mb
{
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int RetryCancelStop = 21;
constexpr int AbortRetryIgnoreQuestion = 34;
constexpr int YesNoCancelQuestion = 35;
constexpr int YesNoQuestion = 36;
constexpr int OkExclamation = 48;
constexpr int OkWarning = 48; // the warning icon is the exclamation icon

constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace mb

inline const QString kAppTitle = QStringLiteral("Vantrel");

// Modal message boxes and the system beep.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Shows a box and returns the answer. An empty title shows the application's title.
    virtual int show(const QString& text, int buttons, const QString& title = {}) = 0;
    virtual void beep() = 0;
};

class QtMessageBoxes final : public MessageBoxes
{
public:
    int show(const QString& text, int buttons, const QString& title = {}) override;
    void beep() override;
};

} // namespace vantrel
