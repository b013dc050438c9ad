// The SheetList: the sheets a run converts, one row of CP932 text per sheet with a check
// mark. It is a small model: whoever shows it (the window's check list, the console's
// progress lines) subscribes to its changes; the intake appends rows and the run checks,
// unchecks, relabels and scrolls them.
//
// A row holds five fields joined by ",": municipality code, municipality name, sheet name,
// source path (a .TXT description or an .LZH archive) and the seventh line of the
// description. The fifth field may itself hold commas, so readers take the first four
// from the left and never use the fifth.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gridora {

// What changed in a SheetList, for views that mirror it.
struct SheetListChange {
    enum class Kind {
        kRowsAppended,  // rows [first, first + count) were added at the end
        kRowChanged,    // the text or check mark of row `first` changed
        kRowsRemoved,   // rows [first, first + count) were removed; later rows moved up
        kReset,         // everything may have changed
        kScrollTo,      // a view should show row `first` as its top row
        kCurrentRow,    // the run moved to row `first` (count 1) or left the rows (count 0)
    };
    Kind kind;
    std::size_t first = 0;
    std::size_t count = 0;
};

class SheetList {
public:
    using Listener = std::function<void(const SheetListChange&)>;
    using Subscription = std::size_t;

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const std::string& Text(std::size_t row) const { return rows_.at(row).text; }
    bool IsChecked(std::size_t row) const { return rows_.at(row).checked; }

    // Adds a row at the end, without a check mark. `source_file` is the file the row came
    // from as the file system names it; the text holds it in CP932, where characters CP932
    // lacks read "?", so the run opens `source_file`. Empty: the text's fourth field.
    void Append(std::string cp932_text, std::filesystem::path source_file = {});
    // The file the run opens for the row: the path given to Append, or the row's fourth
    // field read back from CP932 when none was given.
    std::filesystem::path SourceFile(std::size_t row) const;
    // Changes the row's text; its source file stays.
    void SetText(std::size_t row, std::string cp932_text);
    void SetChecked(std::size_t row, bool checked);
    void CheckAll();
    void Clear();
    // Removes every checked row, the highest index first, keeping the others in order.
    // Returns the removed indexes in removal order.
    std::vector<std::size_t> RemoveCheckedRows();
    // Asks views to scroll so that `row` is their top row; the rows do not change.
    void ScrollTo(std::size_t row);
    // How a run keeps its work in view: after every 30th row processed (counting from 0,
    // so after 29, 59, ...) it scrolls to keep the last ten rows processed above the row
    // in work.
    void FollowRun(std::size_t rows_processed);
    // The row a run is working on, for views that follow the run (a highlighted row, a
    // progress counter); nothing outside a run's loop.
    std::optional<std::size_t> CurrentRow() const { return current_row_; }
    void SetCurrentRow(std::optional<std::size_t> row);

    // Every change is reported to every listener, in subscription order, after it is made.
    Subscription Subscribe(Listener listener);
    void Unsubscribe(Subscription subscription);

private:
    struct Row {
        std::string text;
        std::filesystem::path source_file;
        bool checked = false;
    };
    void Notify(SheetListChange::Kind kind, std::size_t first, std::size_t count) const;

    std::vector<Row> rows_;
    std::optional<std::size_t> current_row_;
    std::vector<std::pair<Subscription, Listener>> listeners_;
    Subscription next_subscription_ = 1;
};

// Fields 1 to 4 of a row, each taken from the left up to the next ",".
struct SheetRowFields {
    std::string municipality_code;
    std::string municipality_name;
    std::string sheet_name;
    std::string source_path;  // CP932, as the row holds it
};
SheetRowFields SplitSheetRow(std::string_view row);

// Joins the five fields of a row.
std::string JoinSheetRow(std::string_view code, std::string_view name, std::string_view sheet,
                         std::string_view source_path, std::string_view description_line);

}  // namespace gridora
