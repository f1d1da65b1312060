#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace vantrel
{

inline const QString kPmiHeader = QStringLiteral("PMI #  = = = = = = = = = = = = = = = =");
constexpr int kPmiLineStride = 40; // 38 characters and CR LF
constexpr int kGridCells = 75;

// Where one grid value comes from: the value label, and the dump's data line and
// cell (both from 1).
struct DumpCell {
    const char* label;
    int line;
    int cell;
};

// The 75 cells in the order the grid is filled.
const std::array<DumpCell, kGridCells>& dumpCells();

// Index of a cell's first character, counted from the header's first character.
constexpr int cellOffset(int line, int cell)
{
    return kPmiLineStride * line + 7 + 2 * (cell - 1);
}

// Reads the first dump in the text: each cell's two characters (fewer where the text
// ends sooner). No header: no values. Positions are not limited to 16 bits, so a
// text of any length reads as a short one would.
std::optional<std::array<QString, kGridCells>> readPmiDump(QStringView source);

// The leading number of a cell's caption, blanks ignored; none counts as 0.
double leadingNumber(const QString& text);

} // namespace vantrel
