#include "editing/SongListBox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

namespace {
// Paints a row as usual with its length right-aligned at its end.
class LengthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QString length = index.data(SongListBox::lengthTextRole).toString();
        if (length.isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const int margin = 6;
        const int room = option.fontMetrics.horizontalAdvance(length) + 2 * margin;
        QStyleOptionViewItem path(option);
        initStyleOption(&path, index);
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : nullptr;
        if (style)
            style->drawPrimitive(QStyle::PE_PanelItemViewItem, &path, painter, view);
        path.rect.setRight(option.rect.right() - room);
        if (style)
            style->drawControl(QStyle::CE_ItemViewItem, &path, painter, view);

        const bool selected = option.state & QStyle::State_Selected;
        QColor colour =
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
        if (!selected && index.data(SongListBox::problemRole).toBool())
            colour = QColor(192, 0, 0);
        painter->save();
        painter->setPen(colour);
        painter->drawText(option.rect.adjusted(0, 0, -margin, 0), Qt::AlignRight | Qt::AlignVCenter,
                          length);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString length = index.data(SongListBox::lengthTextRole).toString();
        if (!length.isEmpty())
            size.rwidth() += option.fontMetrics.horizontalAdvance(length) + 12;
        return size;
    }
};

QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}
} // namespace

SongListBox::SongListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new LengthDelegate(this));
    setTextElideMode(Qt::ElideMiddle); // the file name stays readable
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

QStringList SongListBox::mimeTypes() const {
    return QListWidget::mimeTypes() << QStringLiteral("text/uri-list");
}

Qt::DropActions SongListBox::supportedDropActions() const {
    return Qt::MoveAction | Qt::CopyAction | Qt::LinkAction;
}

bool SongListBox::fromHere(const QDropEvent* event) const {
    return event->source() == this;
}

void SongListBox::dragEnterEvent(QDragEnterEvent* event) {
    if (fromHere(event) || !localPaths(event->mimeData()).isEmpty()) {
        QListWidget::dragEnterEvent(event);
        event->setDropAction(fromHere(event) ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void SongListBox::dragMoveEvent(QDragMoveEvent* event) {
    if (fromHere(event) || !localPaths(event->mimeData()).isEmpty()) {
        QListWidget::dragMoveEvent(event); // moves the drop indicator
        event->setDropAction(fromHere(event) ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

int SongListBox::dropRow(const QPoint& point) const {
    const QModelIndex at = indexAt(point);
    if (!at.isValid())
        return count();
    const QRect rect = visualRect(at);
    return point.y() < rect.center().y() ? at.row() : at.row() + 1;
}

void SongListBox::dropEvent(QDropEvent* event) {
    const int row = dropRow(event->position().toPoint());
    if (fromHere(event)) {
        const int from = currentRow();
        // The window rebuilds the rows itself: the drag must not remove the
        // dragged row afterwards, so the drop does not count as a move.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        stopAutoScroll();
        setState(NoState);
        viewport()->update();
        if (from >= 0)
            emit rowDragged(from, row);
        return;
    }
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setState(NoState);
    viewport()->update();
    emit pathsDropped(paths, row);
}
