#pragma once

// Contrast between two colours as the Web Content Accessibility Guidelines measure it: 4.5:1 is
// the least for text to be read at a glance, 3:1 for the parts of a control that tell its state.

#include <QColor>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cmath>

namespace quillet::testing {

inline double RelativeLuminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
        + 0.0722 * channel(colour.blueF());
}

inline double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

inline constexpr double TextContrast = 4.5;
inline constexpr double ControlContrast = 3.0;

// A text to measure with: full blocks, so that some of its pixels are wholly the text's colour.
inline QString MeasuringText()
{
    return QStringLiteral("\u2588\u2588\u2588");
}

struct TTextMeasure {
    // False when the text left no pixel of its own.
    bool Drawn = false;
    // The colour of the pixel that stands out most from what it covered.
    QColor Text;
    // The least contrast between that colour and a pixel the text covers, as it was before the
    // text was drawn.
    double Contrast = 0;
};

// The same picture drawn without its text and with it: the pixels that differ are the text's.
inline TTextMeasure MeasureText(const QImage& plain, const QImage& withText)
{
    TTextMeasure measure;
    double strongest = 0;
    const QSize size = plain.size().boundedTo(withText.size());
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (plain.pixel(x, y) == withText.pixel(x, y))
                continue;
            const double contrast = ContrastRatio(withText.pixel(x, y), plain.pixel(x, y));
            if (contrast > strongest) {
                strongest = contrast;
                measure.Text = withText.pixel(x, y);
            }
        }
    }
    measure.Drawn = strongest > 0;
    measure.Contrast = measure.Drawn ? 1e9 : 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (plain.pixel(x, y) != withText.pixel(x, y))
                measure.Contrast
                    = std::min(measure.Contrast, ContrastRatio(measure.Text, plain.pixel(x, y)));
        }
    }
    return measure;
}

} // namespace quillet::testing
