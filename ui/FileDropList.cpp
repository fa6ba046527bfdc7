#include "ui/FileDropList.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

FileDropList::FileDropList(const QString& header, bool acceptsDrops, QWidget* parent)
    : QTreeWidget(parent), m_acceptsDrops(acceptsDrops) {
    setColumnCount(1);
    setHeaderLabels({header});
    setColumnWidth(0, 512);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShadow(QFrame::Sunken);
    setDragDropMode(m_acceptsDrops ? QAbstractItemView::DropOnly : QAbstractItemView::NoDragDrop);
    setAcceptDrops(m_acceptsDrops);
    viewport()->setAcceptDrops(m_acceptsDrops);
}

int FileDropList::focusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FileDropList::focusRow(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return;
    setCurrentItem(item);
    scrollToItem(item);
}

QString FileDropList::rowText(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(0) : QString();
}

void FileDropList::setRowText(int row, const QString& text) {
    if (QTreeWidgetItem* item = topLevelItem(row))
        item->setText(0, text);
}

void FileDropList::appendRow(const QString& text) {
    addTopLevelItem(new QTreeWidgetItem(QStringList{text}));
}

QStringList FileDropList::localPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime)
        return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
}

void FileDropList::dragEnterEvent(QDragEnterEvent* event) {
    if (m_acceptsDrops && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileDropList::dragMoveEvent(QDragMoveEvent* event) {
    if (m_acceptsDrops && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileDropList::dropEvent(QDropEvent* event) {
    if (takeDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

bool FileDropList::takeDrop(const QMimeData* mime) {
    if (!m_acceptsDrops)
        return false;
    const QStringList paths = localPaths(mime);
    if (!paths.isEmpty())
        emit filesDropped(paths);
    return true;
}

void FileDropList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit itemAreaDoubleClicked();
}
