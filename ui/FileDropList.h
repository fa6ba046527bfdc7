#pragma once

#include <QStringList>
#include <QTreeWidget>

// A one-column list view in report mode (header, single selection, no icons, no sorting).
// As the file list it also takes local files and folders dropped on it and reports a
// double-click anywhere in its item area, on a row or below the rows.
class FileDropList : public QTreeWidget {
    Q_OBJECT

public:
    FileDropList(const QString& header, bool acceptsDrops, QWidget* parent = nullptr);

    // Row of the entry that holds the keyboard focus (the current row), or -1.
    int focusedRow() const;
    // Makes `row` selected and current and scrolls it into view.
    void focusRow(int row);
    QString rowText(int row) const;
    void setRowText(int row, const QString& text);
    void appendRow(const QString& text);

    // The local paths a drop carries, in the drop's order; other addresses are skipped.
    static QStringList localPaths(const QMimeData* mime);
    // Takes what was dropped: reports its local paths when this view takes drops. True when
    // the drop was taken.
    bool takeDrop(const QMimeData* mime);

signals:
    void filesDropped(const QStringList& paths);
    void itemAreaDoubleClicked();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_acceptsDrops;
};
