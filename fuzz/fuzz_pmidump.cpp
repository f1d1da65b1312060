// The PMI dump reader and the signal grid fill: readPmiDump against a reference that
// finds the header by plain comparison and reads each cell by its position, and
// FillSignalGrid writing exactly those values into a real SignalGrid (or nothing at
// all when the header is missing).
#include "core/pmidump.h"
#include "diagnostics/signalgrid.h"
#include "fuzzcheck.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <array>
#include <vector>

using namespace fuzzcheck;

namespace
{
const QString kHeader = QStringLiteral("PMI #  = = = = = = = = = = = = = = = =");

struct Cell {
    int line;
    int cell;
};

// The grid's columns in fill order: data line, first and last cell.
std::vector<Cell> referenceCells()
{
    const int columns[6][3] = {{1, 1, 4},  {1, 8, 16}, {2, 1, 16},
                               {3, 1, 14}, {4, 1, 16}, {8, 1, 16}};
    std::vector<Cell> cells;
    for (const auto& c : columns)
        for (int k = c[1]; k <= c[2]; ++k)
            cells.push_back(Cell{c[0], k});
    return cells;
}

qsizetype firstHeader(const QString& text)
{
    for (qsizetype h = 0; h + kHeader.size() <= text.size(); ++h) {
        qsizetype i = 0;
        while (i < kHeader.size() && text[h + i] == kHeader[i])
            ++i;
        if (i == kHeader.size())
            return h;
    }
    return -1;
}

std::optional<std::vector<QString>> reference(const QString& text)
{
    const qsizetype h = firstHeader(text);
    if (h < 0)
        return std::nullopt;
    std::vector<QString> values;
    for (const Cell& c : referenceCells()) {
        const qsizetype at = h + 40 * c.line + 7 + 2 * (c.cell - 1);
        QString v;
        for (qsizetype i = at; i < at + 2 && i < text.size(); ++i)
            v.append(text[i]);
        values.push_back(v);
    }
    return values;
}

struct Screen {
    QWidget parent;
    vantrel::SignalGrid grid{&parent};
};

// Never destroyed: libFuzzer ends with exit(), when Qt's own state is already gone.
QApplication* app = nullptr;
Screen* screen = nullptr;
quint64 runs = 0;

std::string cellWhat(int i)
{
    return "cell " + std::to_string(i) + " (" + vantrel::dumpCells()[i].label + ")";
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication keeps its own arguments: libFuzzer still parses the real ones.
    static int argc = 1;
    static char name[] = "fuzz_pmidump";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    screen = new Screen;

    // The program's cell table must be the one the reference reads.
    const std::vector<Cell> cells = referenceCells();
    const auto& table = vantrel::dumpCells();
    if (cells.size() != table.size() || kHeader != vantrel::kPmiHeader) {
        std::fprintf(stderr, "dump layout differs from the reference\n");
        std::abort();
    }
    for (size_t i = 0; i < cells.size(); ++i)
        if (table[i].line != cells[i].line || table[i].cell != cells[i].cell ||
            screen->grid.cell(int(i)) == nullptr) {
            std::fprintf(stderr, "dump cell %zu differs from the reference\n", i);
            std::abort();
        }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = latin1(data, size);
    const auto want = reference(text);

    const auto got = vantrel::readPmiDump(text);
    expectEqual("header found by readPmiDump", text, got.has_value(), want.has_value());
    if (got)
        for (int i = 0; i < vantrel::kGridCells; ++i)
            expectEqual(cellWhat(i).c_str(), text, (*got)[i], (*want)[i]);

    // Marks longer than any cell value, new on every run, so an unchanged cell shows.
    ++runs;
    vantrel::SignalGrid& grid = screen->grid;
    std::array<QString, vantrel::kGridCells> before;
    for (int i = 0; i < vantrel::kGridCells; ++i) {
        before[i] = QStringLiteral("#%1.%2").arg(runs).arg(i);
        grid.cell(i)->setText(before[i]);
    }
    const bool found = vantrel::FillSignalGrid(grid, text);
    expectEqual("FillSignalGrid's result", text, found, want.has_value());
    for (int i = 0; i < vantrel::kGridCells; ++i) {
        const QString shown = grid.cell(i)->text();
        const QString expected = want ? (*want)[size_t(i)] : before[i];
        expectEqual(("grid " + cellWhat(i)).c_str(), text, shown, expected);
    }
    QCoreApplication::sendPostedEvents();
    return 0;
}
