#pragma once

#include <QObject>
#include <QString>

#include <array>

class QLabel;
class QWidget;

namespace vantrel
{

// The signal grid: 16 rows of name labels and value labels, the same on the car
// diagnostics screen and the replay screen. It belongs to the client area it sits on.
class SignalGrid final : public QObject
{
public:
    // Creates the 144 labels on the screen's client area.
    explicit SignalGrid(QWidget* parent);

    // The value label of a fill cell (order of dumpCells()).
    QLabel* cell(int i) const { return m_cells[i]; }
    QLabel* label(const QString& name) const;

private:
    QWidget* m_parent;
    std::array<QLabel*, 75> m_cells{};
};

// Finds the first PMI dump in the text and writes its 75 cells into the grid's
// value labels. Returns whether the header was found.
bool FillSignalGrid(SignalGrid& grid, const QString& source);

// The 75 cells as the grid shows them, and the grid made to show given ones.
std::array<QString, 75> shownCells(const SignalGrid& grid);
void showCells(SignalGrid& grid, const std::array<QString, 75>& cells);

} // namespace vantrel
