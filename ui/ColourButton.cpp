#include "ui/ColourButton.h"

#include <QPainter>
#include <QPixmap>

ColourButton::ColourButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAutoDefault(false);
    setColour(m_colour);
}

void ColourButton::setColour(const QColor& colour) {
    m_colour = colour;
    // A swatch with a dark edge, so that a colour like the button's own still shows.
    QPixmap swatch(12, 12);
    swatch.fill(colour);
    QPainter painter(&swatch);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(0, 0, swatch.width() - 1, swatch.height() - 1);
    painter.end();
    setIcon(QIcon(swatch));
    setToolTip(colour.name());
}
