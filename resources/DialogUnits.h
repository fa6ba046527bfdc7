#pragma once

#include "resources/DialogTemplate.h"

#include <QRect>

class QFont;

// Converts dialog units to pixels. One horizontal unit is a quarter of the dialog font's
// average character width, one vertical unit an eighth of its height, so a dialog keeps its
// proportions with any font.
class DialogUnits {
public:
    DialogUnits(int averageCharWidth, int charHeight);
    // The base units of a font: the average width of the 52 Latin letters (rounded) and the
    // font's height.
    static DialogUnits forFont(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect toPixels(const DialogTemplate::Rect& rect) const;

    int averageCharWidth() const { return m_charWidth; }
    int charHeight() const { return m_charHeight; }

private:
    int m_charWidth;
    int m_charHeight;
};
