#include "pmidump.h"

namespace vantrel
{

namespace
{
std::array<DumpCell, kGridCells> makeCells()
{
    static const char* const names[75] = {
        "lbl1_1",  "lbl1_2",  "lbl1_3",  "lbl1_4",  "lbl1_8",  "lbl1_9",  "lbl110",  "lbl111",
        "lbl112",  "lbl113",  "lbl114",  "lbl115",  "lbl116",  "lbl3_1",  "lbl3_2",  "lbl3_3",
        "lbl3_4",  "lbl3_5",  "lbl3_6",  "lbl3_7",  "lbl3_8",  "lbl3_9",  "lbl310",  "lbl311",
        "lbl312",  "lbl313",  "lbl314",  "lbl315",  "lbl316",  "lbl5_1",  "lbl5_2",  "lbl5_3",
        "lbl5_4",  "lbl5_5",  "lbl5_6",  "lbl5_7",  "lbl5_8",  "lbl5_9",  "lbl510",  "lbl511",
        "lbl512",  "lbl513",  "lbl514",  "lbl7_1",  "lbl7_2",  "lbl7_3",  "lbl7_4",  "lbl7_5",
        "lbl7_6",  "lbl7_7",  "lbl7_8",  "lbl7_9",  "lbl710",  "lbl711",  "lbl712",  "lbl713",
        "lbl714",  "lbl715",  "lbl716",  "lbl13_1", "lbl13_2", "lbl13_3", "lbl13_4", "lbl13_5",
        "lbl13_6", "lbl13_7", "lbl13_8", "lbl13_9", "lbl1310", "lbl1311", "lbl1312", "lbl1313",
        "lbl1314", "lbl1315", "lbl1316"};
    std::array<DumpCell, kGridCells> cells{};
    int i = 0;
    const auto column = [&](int line, int fromRow, int toRow) {
        for (int row = fromRow; row <= toRow; ++row, ++i)
            cells[i] = DumpCell{names[i], line, row};
    };
    column(1, 1, 4);
    column(1, 8, 16);
    column(2, 1, 16);
    column(3, 1, 14);
    column(4, 1, 16);
    column(8, 1, 16);
    return cells;
}
} // namespace

const std::array<DumpCell, kGridCells>& dumpCells()
{
    static const std::array<DumpCell, kGridCells> cells = makeCells();
    return cells;
}

std::optional<std::array<QString, kGridCells>> readPmiDump(QStringView source)
{
    const qsizetype h = source.indexOf(kPmiHeader, 0, Qt::CaseSensitive);
    if (h < 0)
        return std::nullopt;
    std::array<QString, kGridCells> values;
    const auto& cells = dumpCells();
    for (int i = 0; i < kGridCells; ++i) {
        const qsizetype at = h + cellOffset(cells[i].line, cells[i].cell);
        values[i] = at < source.size() ? source.mid(at, 2).toString() : QString();
    }
    return values;
}

double leadingNumber(const QString& text)
{
    QString s;
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            s += c;
    int i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        ++i;
    while (i < s.size() && (s[i].isDigit() || s[i] == QLatin1Char('.')))
        ++i;
    bool ok = false;
    const double v = s.left(i).toDouble(&ok);
    return ok ? v : 0.0;
}

} // namespace vantrel
