#pragma once

#include <QColor>
#include <QPushButton>

// A button that shows a colour beside its text. Clicking it is left to its owner, which asks
// for a new colour and sets it.
class ColourButton : public QPushButton {
    Q_OBJECT

public:
    explicit ColourButton(const QString& text, QWidget* parent = nullptr);

    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);

private:
    QColor m_colour = Qt::black;
};
