#include "ui/sheet_list_model.h"

#include "platform/cp932.h"

namespace gridora::ui {

SheetListModel::SheetListModel(SheetList& sheets, QObject* parent) : QAbstractListModel(parent), sheets_(sheets) {
    for (std::size_t i = 0; i < sheets_.size(); ++i) shown_.push_back(Shown(i));
    subscription_ = sheets_.Subscribe([this](const SheetListChange& change) { Follow(change); });
}

SheetListModel::~SheetListModel() { sheets_.Unsubscribe(subscription_); }

SheetListModel::ShownRow SheetListModel::Shown(std::size_t row) const {
    return ShownRow{QString::fromStdString(Cp932ToUtf8(sheets_.Text(row))), sheets_.IsChecked(row)};
}

int SheetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

QVariant SheetListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const ShownRow& row = shown_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return row.text;
        case Qt::CheckStateRole:
            return row.checked ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
    }
}

bool SheetListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= rowCount()) return false;
    // The SheetList's notification updates the mirror and the view.
    sheets_.SetChecked(static_cast<std::size_t>(index.row()), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags SheetListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

void SheetListModel::Follow(const SheetListChange& change) {
    const int first = static_cast<int>(change.first);
    const int count = static_cast<int>(change.count);
    switch (change.kind) {
        case SheetListChange::Kind::kRowsAppended:
            beginInsertRows(QModelIndex(), first, first + count - 1);
            for (std::size_t i = change.first; i < change.first + change.count; ++i)
                shown_.insert(shown_.begin() + static_cast<std::ptrdiff_t>(i), Shown(i));
            endInsertRows();
            break;
        case SheetListChange::Kind::kRowChanged:
            for (std::size_t i = change.first; i < change.first + change.count; ++i) shown_[i] = Shown(i);
            emit dataChanged(index(first), index(first + count - 1));
            break;
        case SheetListChange::Kind::kRowsRemoved: {
            beginRemoveRows(QModelIndex(), first, first + count - 1);
            const auto begin = shown_.begin() + first;
            shown_.erase(begin, begin + count);
            endRemoveRows();
            break;
        }
        case SheetListChange::Kind::kReset:
            beginResetModel();
            shown_.clear();
            for (std::size_t i = 0; i < sheets_.size(); ++i) shown_.push_back(Shown(i));
            endResetModel();
            break;
        case SheetListChange::Kind::kScrollTo:
            emit scrollRequested(first);
            break;
        case SheetListChange::Kind::kCurrentRow:
            emit currentRowChanged(count == 0 ? -1 : first);
            break;
    }
}

}  // namespace gridora::ui
