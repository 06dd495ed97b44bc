#include "app/plot_style.h"

#include <QAbstractAxis>
#include <QChart>
#include <QPalette>
#include <array>

namespace qrt::app {

namespace {

// Distinct hues of middle lightness, readable on white and on a dark ground; the last
// is the palette's text colour, black on light and white on dark.
constexpr std::array<QRgb, 11> kColours{0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b,
                                        0xe377c2, 0x7f7f7f, 0xbcbd22, 0x17becf, 0xe6ab02};
constexpr std::size_t kColourCount = kColours.size() + 1;
constexpr std::array<Qt::PenStyle, 4> kStyles{Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                              Qt::DashDotLine};

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Base).lightness() < 128;
}

}  // namespace

QPen linePen(std::size_t index, const QPalette& palette) {
    const std::size_t colour = index % kColourCount;
    QColor shade =
        colour < kColours.size() ? QColor(kColours[colour]) : palette.color(QPalette::Text);
    if (isDark(palette) && colour < kColours.size()) {
        shade = shade.lighter(135);
    }
    QPen pen(shade);
    pen.setWidth(1);
    pen.setStyle(kStyles[(index / kColourCount) % kStyles.size()]);
    return pen;
}

void styleChart(QChart& chart, const QPalette& palette) {
    chart.setBackgroundBrush(palette.brush(QPalette::Base));
    chart.setBackgroundPen(QPen(palette.color(QPalette::Mid)));
    chart.setPlotAreaBackgroundVisible(false);
    chart.setTitleBrush(palette.brush(QPalette::Text));
    for (QAbstractAxis* axis : chart.axes()) {
        styleAxis(*axis, palette);
    }
}

void styleAxis(QAbstractAxis& axis, const QPalette& palette) {
    const QColor text = palette.color(QPalette::Text);
    QColor grid = text;
    grid.setAlpha(40);
    axis.setLabelsColor(text);
    axis.setTitleBrush(text);
    axis.setLinePenColor(palette.color(QPalette::Mid));
    axis.setGridLineColor(grid);
    axis.setShadesVisible(false);
}

}  // namespace qrt::app
