#include "signalgrid.h"

#include "core/pmidump.h"
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
struct NameLabel {
    const char* name;
    const char* caption;
};

// Name columns 1 to 4, rows 1 to 16; blanks in captions are part of the screen.
const NameLabel kNames[4][16] = {{{"lbl01", "SU1"},
                                  {"lbl02", "SD1"},
                                  {"lbl03", "SU2"},
                                  {"lbl04", "SD2"},
                                  {"lbl05", "   "},
                                  {"lbl06", "   "},
                                  {"lbl07", "   "},
                                  {"lbl08", " MC"},
                                  {"lbl09", " UT"},
                                  {"lbl_10", " DT"},
                                  {"lbl_11", " UR"},
                                  {"lbl_12", " DR"},
                                  {"lbl_13", "RUN"},
                                  {"lbl_14", " GL"},
                                  {"lbl_15", " AU"},
                                  {"lbl_16", "TRIP"}},
                                 {{"lbl2_1", "GV"},
                                  {"lbl2_2", "HS"},
                                  {"lbl2_3", "CS"},
                                  {"lbl2_4", "ICS"},
                                  {"lbl2_5", "GL1"},
                                  {"lbl2_6", "ICA"},
                                  {"lbl2_7", "LRS"},
                                  {"lbl2_8", "DD"},
                                  {"lbl2_9", "DOL"},
                                  {"lbl210", "DCL"},
                                  {"lbl211", "DL6"},
                                  {"lbl212", "IC"},
                                  {"lbl213", "ULZ"},
                                  {"lbl214", "DLZ"},
                                  {"lbl215", "LZM"},
                                  {"lbl216", "LZF"}},
                                 {{"lbl4_1", "DOB"},
                                  {"lbl4_2", "SE"},
                                  {"lbl4_3", "LR"},
                                  {"lbl4_4", "DCB"},
                                  {"lbl4_5", "RSB"},
                                  {"lbl4_6", "FC"},
                                  {"lbl4_7", "FR"},
                                  {"lbl4_8", "FAL"},
                                  {"lb4_9", "FBP"},
                                  {"lbl410", ""},
                                  {"lbl411", "LVE"},
                                  {"lbl412", "BZ"},
                                  {"lbl413", "HBZ"},
                                  {"lbl414", "SM"},
                                  {"lbl415", " "},
                                  {"lbl416", " "}},
                                 {{"lbl6_1", "POP"},
                                  {"lbl6_2", "R1"},
                                  {"lbl6_3", "R2"},
                                  {"lbl6_4", "R4"},
                                  {"lbl6_5", ""},
                                  {"lbl6_6", " "},
                                  {"lbl6_7", " "},
                                  {"lbl6_8", "BCR"},
                                  {"lb6_9", "UP"},
                                  {"lbl610", "DP"},
                                  {"lbl611", "DO"},
                                  {"lbl612", "DC"},
                                  {"lbl613", "NR"},
                                  {"lbl614", "FSL"},
                                  {"lbl615", "UDL"},
                                  {"lbl616", "DDL"}}};

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
    for (int col = 0; col < 4; ++col)
        for (int row = 1; row <= 16; ++row) {
            const NameLabel& n = kNames[col][row - 1];
            auto* l = new QLabel(QLatin1String(n.caption), parent);
            l->setObjectName(QLatin1String(n.name));
            l->setTextFormat(Qt::PlainText);
            place(l, kNameLefts[col], row);
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
                col < 4 ? QString::fromLatin1(kNames[col][row - 1].caption).trimmed() : QString();
            auto* l = new Readout(valueName(col, row),
                                  signal.isEmpty()
                                      ? QStringLiteral("Column %1 row %2").arg(col + 1).arg(row)
                                      : signal,
                                  parent);
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
    for (int i = 0; i < kGridCells; ++i)
        grid.cell(i)->setText((*values)[i]);
    return true;
}

} // namespace vantrel
