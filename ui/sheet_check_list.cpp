#include "ui/sheet_check_list.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>

#include "input/sheet_intake.h"
#include "platform/cp932.h"

namespace gridora::ui {
namespace {

// Every row as high as the list says.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    explicit FixedRowDelegate(SheetCheckList& list) : QStyledItemDelegate(&list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(list_.RowHeight());
        return size;
    }

private:
    const SheetCheckList& list_;
};

}  // namespace

QStringList DroppedSheetSources(const QMimeData& data) {
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) continue;
        const QString file = url.toLocalFile();
        const std::string name = ToCp932(QFileInfo(file).fileName().toStdString());
        if ((NamesArchive(name) || NamesDescription(name)) && QFileInfo(file).isFile()) files.append(file);
    }
    return files;
}

SheetCheckList::SheetCheckList(QWidget* parent) : QListView(parent) {
    setItemDelegate(new FixedRowDelegate(*this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
}

int SheetCheckList::RowHeight() const {
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
    return std::max({kSheetRowHeight, fontMetrics().height(), indicator});
}

void SheetCheckList::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void SheetCheckList::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData() != nullptr && !DroppedSheetSources(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void SheetCheckList::dropEvent(QDropEvent* event) {
    const QStringList files = event->mimeData() != nullptr ? DroppedSheetSources(*event->mimeData()) : QStringList();
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit sourcesDropped(files);
}

}  // namespace gridora::ui
