#include "resources/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <algorithm>

namespace {

// units * base / divisor, rounded half away from zero.
int scaleRounded(int units, int base, int divisor) {
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor
                                         : -((-product + half) / divisor));
}

} // namespace

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : m_charWidth(std::max(1, averageCharWidth)), m_charHeight(std::max(1, charHeight)) {}

DialogUnits DialogUnits::forFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((letters + 26) / 52, metrics.height());
}

int DialogUnits::x(int units) const {
    return scaleRounded(units, m_charWidth, 4);
}

int DialogUnits::y(int units) const {
    return scaleRounded(units, m_charHeight, 8);
}

QRect DialogUnits::toPixels(const DialogTemplate::Rect& rect) const {
    // Both edges are converted, so adjacent controls stay adjacent after rounding.
    const int left = x(rect.x);
    const int top = y(rect.y);
    return QRect(left, top, x(rect.x + rect.width) - left, y(rect.y + rect.height) - top);
}
