#pragma once

#include "core/receivedtext.h"

#include <QObject>
#include <QString>

namespace vantrel
{

// A text box nobody sees: its text, and a change notification raised only when the
// text really changes. Line breaks are kept as CR LF.
class TextBox final : public QObject, public TextField
{
    Q_OBJECT
public:
    explicit TextBox(const QString& name, QObject* parent = nullptr) : QObject(parent)
    {
        setObjectName(name);
    }
    const QString& text() const override { return m_text; }
    void setText(const QString& text) override
    {
        if (text == m_text)
            return;
        m_text = text;
        Q_EMIT Change();
    }
    bool isVisible() const { return false; }

Q_SIGNALS:
    void Change();

private:
    QString m_text;
};

} // namespace vantrel
