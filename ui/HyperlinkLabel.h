#pragma once

#include <QPixmap>
#include <QUrl>
#include <QWidget>
#include <functional>

// A clickable picture: paints its bitmap at its natural size from the top-left corner, shows a
// pointing hand while the mouse is over it, and opens its address with the desktop when
// clicked. A failure to open is ignored.
class HyperlinkLabel : public QWidget {
    Q_OBJECT

public:
    using Opener = std::function<void(const QUrl&)>;

    HyperlinkLabel(const QPixmap& picture, const QUrl& target, QWidget* parent = nullptr);

    // Replaces the desktop opener (tests record the address instead).
    void setOpener(Opener opener) { m_opener = std::move(opener); }
    QUrl target() const { return m_target; }
    // What a click does: report it and open the address.
    void activate();
    const QPixmap& picture() const { return m_picture; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_picture;
    QUrl m_target;
    Opener m_opener;
    bool m_pressed = false;
};
