#include "input/sheet_list.h"

#include <algorithm>
#include <utility>

#include "input/text_fields.h"
#include "platform/cp932.h"

namespace gridora {

void SheetList::Append(std::string cp932_text, std::filesystem::path source_file) {
    rows_.push_back(Row{std::move(cp932_text), std::move(source_file), false});
    Notify(SheetListChange::Kind::kRowsAppended, rows_.size() - 1, 1);
}

std::filesystem::path SheetList::SourceFile(std::size_t row) const {
    const Row& r = rows_.at(row);
    if (!r.source_file.empty()) return r.source_file;
    return std::filesystem::path(Cp932ToUtf8(SplitSheetRow(r.text).source_path));
}

void SheetList::SetText(std::size_t row, std::string cp932_text) {
    rows_.at(row).text = std::move(cp932_text);
    Notify(SheetListChange::Kind::kRowChanged, row, 1);
}

void SheetList::SetChecked(std::size_t row, bool checked) {
    Row& r = rows_.at(row);
    if (r.checked == checked) return;
    r.checked = checked;
    Notify(SheetListChange::Kind::kRowChanged, row, 1);
}

void SheetList::CheckAll() {
    for (Row& r : rows_) r.checked = true;
    Notify(SheetListChange::Kind::kReset, 0, rows_.size());
}

void SheetList::Clear() {
    rows_.clear();
    current_row_.reset();
    Notify(SheetListChange::Kind::kReset, 0, 0);
}

std::vector<std::size_t> SheetList::RemoveCheckedRows() {
    std::vector<std::size_t> removed;
    for (std::size_t i = rows_.size(); i-- > 0;) {
        if (!rows_[i].checked) continue;
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
        removed.push_back(i);
        Notify(SheetListChange::Kind::kRowsRemoved, i, 1);
    }
    return removed;
}

void SheetList::FollowRun(std::size_t rows_processed) {
    constexpr std::size_t kScrollInterval = 30;
    constexpr std::size_t kRowsKeptAboveScroll = 10;
    if ((rows_processed + 1) % kScrollInterval == 0) ScrollTo(rows_processed - kRowsKeptAboveScroll);
}

void SheetList::ScrollTo(std::size_t row) {
    Notify(SheetListChange::Kind::kScrollTo, row, 0);
}

void SheetList::SetCurrentRow(std::optional<std::size_t> row) {
    current_row_ = row;
    Notify(SheetListChange::Kind::kCurrentRow, row.value_or(0), row ? 1 : 0);
}

SheetList::Subscription SheetList::Subscribe(Listener listener) {
    listeners_.emplace_back(next_subscription_, std::move(listener));
    return next_subscription_++;
}

void SheetList::Unsubscribe(Subscription subscription) {
    std::erase_if(listeners_, [&](const auto& entry) { return entry.first == subscription; });
}

void SheetList::Notify(SheetListChange::Kind kind, std::size_t first, std::size_t count) const {
    const SheetListChange change{kind, first, count};
    for (const auto& entry : listeners_) entry.second(change);
}

SheetRowFields SplitSheetRow(std::string_view row) {
    SheetRowFields fields;
    fields.municipality_code = TakeField(row);
    fields.municipality_name = TakeField(row);
    fields.sheet_name = TakeField(row);
    fields.source_path = TakeField(row);
    return fields;
}

std::string JoinSheetRow(std::string_view code, std::string_view name, std::string_view sheet,
                         std::string_view source_path, std::string_view description_line) {
    std::string row;
    row.reserve(code.size() + name.size() + sheet.size() + source_path.size() + description_line.size() + 4);
    for (std::string_view part : {code, name, sheet, source_path}) {
        row += part;
        row += ',';
    }
    row += description_line;
    return row;
}

}  // namespace gridora
