#include "signalnames.h"

namespace vantrel
{

const GridName kGridNames[4][16] = {{{"lbl01", "SU1"},
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

QString signalName(int cell)
{
    const DumpCell& c = dumpCells()[size_t(cell)];
    // Dump lines 1 to 4 fill value columns 1 to 4, line 8 the fifth; a cell is its row.
    const int column = c.line <= 4 ? c.line : 5;
    const QString caption =
        column <= 4 ? QString::fromLatin1(kGridNames[column - 1][c.cell - 1].caption).trimmed()
                    : QString();
    return caption.isEmpty() ? QStringLiteral("c%1r%2").arg(column).arg(c.cell) : caption;
}

} // namespace vantrel
