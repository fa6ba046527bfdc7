#include "ui/HyperlinkLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>

HyperlinkLabel::HyperlinkLabel(const QPixmap& picture, const QUrl& target, QWidget* parent)
    : QWidget(parent), m_picture(picture), m_target(target),
      m_opener([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    setCursor(Qt::PointingHandCursor);
}

void HyperlinkLabel::paintEvent(QPaintEvent*) {
    if (m_picture.isNull())
        return;
    // Natural size from the top-left corner, whatever the control's own size: the picture is
    // never scaled.
    QPainter painter(this);
    painter.drawPixmap(QPoint(0, 0), m_picture);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        activate();
}

void HyperlinkLabel::activate() {
    emit clicked();
    if (m_opener)
        m_opener(m_target);
}
