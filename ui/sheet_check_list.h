// The check list eInList: one line per SheetList row with its check mark, rows of fixed
// height, and a drop target for sheet descriptions (.TXT) and archives (.LZH) dragged from
// a file manager.
#pragma once

#include <QListView>
#include <QStringList>

class QMimeData;

namespace gridora::ui {

inline constexpr int kSheetRowHeight = 12;

// The local files among dropped data that name a sheet description or archive, in the
// order they were dropped.
QStringList DroppedSheetSources(const QMimeData& data);

class SheetCheckList : public QListView {
    Q_OBJECT

public:
    explicit SheetCheckList(QWidget* parent = nullptr);

    // The height of one row: 12 pixels, or more when the font or the check mark needs it.
    int RowHeight() const;

signals:
    void sourcesDropped(const QStringList& files);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace gridora::ui
