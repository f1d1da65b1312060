#include "signalgrid.h"

#include "core/pmidump.h"
#include "core/signalnames.h"
#include "widgets/colors.h"
#include "widgets/readout.h"
#include "widgets/twips.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>

namespace vantrel
{

namespace
{
constexpr int kNameLefts[4] = {0, 960, 1920, 2880};
constexpr int kValueLefts[5] = {480, 1440, 2400, 3360, 4875};
constexpr const char* kValuePrefix[5] = {"lbl1", "lbl3", "lbl5", "lbl7", "lbl13"};

QString valueName(int column, int row)
{
    const QString prefix = QLatin1String(kValuePrefix[column]);
    return row < 10 ? QStringLiteral("%1_%2").arg(prefix).arg(row)
                    : QStringLiteral("%1%2").arg(prefix).arg(row);
}
} // namespace

SignalGrid::SignalGrid(QWidget* parent) : QObject(parent), m_parent(parent)
{
    const Twips t(parent);
    const QPalette system = QApplication::palette();
    const auto place = [&](QLabel* l, int left, int row) {
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        t.place(l, left, 360 + 240 * (row - 1), 375, 255);
    };
    const auto make = [&](const QString& name, const QString& caption, int left, int row) {
        auto* l = new QLabel(caption, parent);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        place(l, left, row);
        return l;
    };
    for (int col = 0; col < 4; ++col)
        for (int row = 1; row <= 16; ++row) {
            const GridName& n = kGridNames[col][row - 1];
            QLabel* l = make(QLatin1String(n.name), QLatin1String(n.caption), kNameLefts[col], row);
            if (QString::fromLatin1(n.caption).trimmed().isEmpty())
                l->setAccessibleName(QStringLiteral("Signal name, row %1").arg(row));
            QPalette p = l->palette();
            p.setColor(QPalette::Window, system.color(QPalette::Base));
            p.setColor(QPalette::WindowText, system.color(QPalette::Text));
            l->setPalette(p);
            l->setAutoFillBackground(true);
        }
    for (int col = 0; col < 5; ++col)
        for (int row = 1; row <= 16; ++row) {
            // A value reads with the signal beside it, where the row has a name.
            const QString signal =
                col < 4 ? QString::fromLatin1(kGridNames[col][row - 1].caption).trimmed()
                        : QString();
            auto* l = new Readout(valueName(col, row),
                                  signal.isEmpty()
                                      ? QStringLiteral("Column %1 row %2").arg(col + 1).arg(row)
                                      : signal,
                                  parent);
            l->setTextFormat(Qt::PlainText);
            place(l, kValueLefts[col], row);
            setBackColor(l, color::LightGrey);
        }
    const auto& cells = dumpCells();
    for (int i = 0; i < kGridCells; ++i)
        m_cells[i] = label(QLatin1String(cells[i].label));
}

QLabel* SignalGrid::label(const QString& name) const
{
    return m_parent->findChild<QLabel*>(name, Qt::FindDirectChildrenOnly);
}

bool FillSignalGrid(SignalGrid& grid, const QString& source)
{
    const auto values = readPmiDump(source);
    if (!values)
        return false;
    showCells(grid, *values);
    return true;
}

std::array<QString, 75> shownCells(const SignalGrid& grid)
{
    std::array<QString, 75> cells;
    for (int i = 0; i < kGridCells; ++i)
        cells[size_t(i)] = grid.cell(i)->text();
    return cells;
}

void showCells(SignalGrid& grid, const std::array<QString, 75>& cells)
{
    for (int i = 0; i < kGridCells; ++i)
        grid.cell(i)->setText(cells[size_t(i)]);
}

} // namespace vantrel
