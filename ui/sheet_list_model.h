// The SheetList as a Qt list model, for the window's check list eInList. The SheetList
// stays the one owner of the rows: this model mirrors its texts (converted from CP932 for
// display) and check marks, follows its change notifications, so a run's checking,
// unchecking, relabelling and scrolling show as they happen, and passes the user's check
// marks back to it.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

#include "input/sheet_list.h"

namespace gridora::ui {

class SheetListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit SheetListModel(SheetList& sheets, QObject* parent = nullptr);
    ~SheetListModel() override;
    SheetListModel(const SheetListModel&) = delete;
    SheetListModel& operator=(const SheetListModel&) = delete;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The SheetList asked its views to show `row` as their top row.
    void scrollRequested(int row);
    // A run moved to `row`; -1 when it left the rows.
    void currentRowChanged(int row);

private:
    struct ShownRow {
        QString text;
        bool checked = false;
    };
    ShownRow Shown(std::size_t row) const;
    void Follow(const SheetListChange& change);

    SheetList& sheets_;
    std::vector<ShownRow> shown_;
    SheetList::Subscription subscription_;
};

}  // namespace gridora::ui
