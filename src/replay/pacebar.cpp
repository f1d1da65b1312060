#include "pacebar.h"

namespace vantrel
{

// The bar's own value grows to the right like any scroll bar's, so the toolkit's arrows,
// trough and keys all move the thumb toward where they point; the interval is read the
// other way round.
PaceBar::PaceBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent)
{
    setObjectName(QStringLiteral("HScroll1"));
    setRange(0, kSlowestMs);
    setSingleStep(1);
    setPageStep(1);
    setTracking(false); // a drag changes the interval once, when the thumb is let go
    setFocusPolicy(Qt::StrongFocus);
    // A scroll bar's keys run against its value by default; here they follow the thumb.
    setInvertedControls(false);
    setInterval(kSlowestMs);
    connect(this, &QScrollBar::valueChanged, this, &PaceBar::intervalChanged);
}

} // namespace vantrel
