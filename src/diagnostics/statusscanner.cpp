#include "statusscanner.h"

#include "widgets/crlfedit.h"

#include <QLineEdit>

namespace vantrel
{

StatusScanner::StatusScanner(const Form1Controls& controls, CarModel& model, QObject* parent)
    : QObject(parent), m_c(controls), m_model(model)
{
    connect(&m_model, &CarModel::valueChanged, this, &StatusScanner::show);
    connect(m_c.txtvel, &QLineEdit::textChanged, this, &StatusScanner::txtvel_Change);
    connect(m_c.Text2, &QLineEdit::textChanged, this, &StatusScanner::Text2_Change);
    connect(m_c.txtbbt, &QLineEdit::textChanged, this, &StatusScanner::txtbbt_Change);
    connect(m_c.txtpos, &QLineEdit::textChanged, this, &StatusScanner::txtpos_Change);
}

// Only a value that really changed reaches its box, so a box keeps the technician's
// selection while the same reply is found again and again.
void StatusScanner::show(CarModel::Value v, const QString& text)
{
    switch (v) {
    case CarModel::Speed:
        m_c.txtvel->setText(text);
        break;
    case CarModel::StopText:
        m_c.Text2->setText(text);
        break;
    case CarModel::Bbt:
        m_c.txtbbt->setText(text);
        break;
    case CarModel::Fault:
        m_c.Text5->setText(text);
        break;
    default:
        break;
    }
}

// A box's change, the model's own shown or the technician's, goes to the model; the
// model's own comes back as no change.
void StatusScanner::txtvel_Change()
{
    m_model.setValue(CarModel::Speed, m_c.txtvel->text());
}

void StatusScanner::Text2_Change()
{
    m_model.setValue(CarModel::StopText, m_c.Text2->text());
}

void StatusScanner::txtbbt_Change()
{
    m_model.setValue(CarModel::Bbt, m_c.txtbbt->text());
}

void StatusScanner::txtpos_Change()
{
    m_model.positionChanged();
}

} // namespace vantrel
