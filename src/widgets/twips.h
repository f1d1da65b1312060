#pragma once

#include <QWidget>

#include <cmath>

namespace vantrel
{

// Converts twips (1/1440 inch) to pixels at the screen's logical dpi: 15 twips per
// pixel at 96 dpi.
class Twips
{
public:
    explicit Twips(const QWidget* w) : m_dpi(w->logicalDpiX() > 0 ? w->logicalDpiX() : 96) {}
    explicit Twips(int dpi) : m_dpi(dpi) {}
    int operator()(int twips) const { return int(std::lround(twips * m_dpi / 1440.0)); }
    void place(QWidget* w, int left, int top, int width, int height) const
    {
        w->setGeometry((*this)(left), (*this)(top), (*this)(width), (*this)(height));
    }

private:
    int m_dpi;
};

} // namespace vantrel
