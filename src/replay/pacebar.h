#pragma once

#include <QScrollBar>

namespace vantrel
{

// The replay's pace bar, "HScroll1": its playback interval runs from 1000 ms at its left
// end to 0 at its right end, as drawn. The arrows, a click in the trough and the arrow
// keys move the thumb the way they point, by 1; a dragged thumb follows the mouse and
// the interval changes once, when it is let go.
class PaceBar final : public QScrollBar
{
    Q_OBJECT
public:
    static constexpr int kSlowestMs = 1000;

    explicit PaceBar(QWidget* parent);

    int interval() const { return kSlowestMs - value(); }
    void setInterval(int ms) { setValue(kSlowestMs - ms); }

Q_SIGNALS:
    void intervalChanged();
};

} // namespace vantrel
