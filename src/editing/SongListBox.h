#pragma once

#include <QListWidget>

// The list of a song-list window, one full path per row, like the song list
// of a music program: each row shows the song's length at its right, rows are
// reordered by dragging, and song files or folders dragged in from the file
// manager are added where they are dropped. The window owns the list; this
// box only reports what the operator did.
class SongListBox : public QListWidget {
    Q_OBJECT
public:
    // Item data: the length text shown at the right of a row, and whether it
    // is a problem (shown in red).
    static constexpr int lengthTextRole = Qt::UserRole + 1;
    static constexpr int problemRole = Qt::UserRole + 2;

    explicit SongListBox(QWidget* parent = nullptr);

    // The row a drop at this point inserts before (count() below the last row).
    int dropRow(const QPoint& point) const;

signals:
    // Local files or folders were dropped; they go in before row.
    void pathsDropped(const QStringList& paths, int row);
    // A row was dragged elsewhere: it should end up before row `to` of the
    // list as it is now.
    void rowDragged(int from, int to);

protected:
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool fromHere(const QDropEvent* event) const;
};
