#pragma once

#include "carscreen/controls.h"
#include "core/carmodel.h"

#include <QObject>

namespace vantrel
{

// The car diagnostics screen's value boxes over the car model: the speed, the stop
// count, the BBT value and the fault text the model's scan found are shown in their
// boxes, and a box the technician edits tells the model, which asks for the follow-up
// ("bbt" after a stop, "flt0" after a new BBT value).
class StatusScanner final : public QObject
{
    Q_OBJECT
public:
    StatusScanner(const Form1Controls& controls, CarModel& model, QObject* parent = nullptr);

    qint16 StopCount() const { return m_model.stopCount(); }

    void txtvel_Change();
    void Text2_Change();
    void txtbbt_Change();
    void txtpos_Change();

private:
    void show(CarModel::Value v, const QString& text);

    const Form1Controls& m_c;
    CarModel& m_model;
};

} // namespace vantrel
