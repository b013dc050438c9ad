#include "run/run_summary.h"

#include <utility>

#include "platform/cp932.h"
#include "run/list_file.h"

namespace gridora {
namespace {

const std::string& RefusedPrefix() {
    static const std::string prefix = ToCp932("座標系エラー：");
    return prefix;
}

// Whether the run prefixed row `row`, whose text it found as `before` (nothing for a row
// added during the run).
bool RefusedByRun(const std::string& text, const std::string* before) {
    const std::string& prefix = RefusedPrefix();
    if (before != nullptr) return text.size() == prefix.size() + before->size() && text.starts_with(prefix) &&
                                  text.ends_with(*before);
    return text.starts_with(prefix);
}

}  // namespace

std::vector<std::string> RowTexts(const SheetList& sheets) {
    std::vector<std::string> texts;
    texts.reserve(sheets.size());
    for (std::size_t i = 0; i < sheets.size(); ++i) texts.push_back(sheets.Text(i));
    return texts;
}

RunSummary SummarizeRun(const SheetList& sheets, const std::vector<std::string>& texts_before) {
    RunSummary summary;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string& text = sheets.Text(i);
        if (sheets.IsChecked(i)) {
            if (SheetAlreadyListed(sheets, i, SplitSheetRow(text).sheet_name))
                ++summary.duplicates;
            else
                ++summary.not_converted;
        } else if (RefusedByRun(text, i < texts_before.size() ? &texts_before[i] : nullptr)) {
            ++summary.refused;
        } else {
            ++summary.converted;
        }
    }
    return summary;
}

std::string RunSummaryText(const RunSummary& summary, const std::filesystem::path& output_folder) {
    const std::pair<const char*, std::size_t> lines[] = {
        {"変換した図葉：", summary.converted},
        {"座標系エラーの図葉：", summary.refused},
        {"変換できなかった図葉（チェックが残っています）：", summary.not_converted},
        {"重複のため飛ばした行：", summary.duplicates},
    };
    std::string text;
    for (const auto& [label, count] : lines) text += ToCp932(label) + std::to_string(count) + "\r\n";
    text += ToCp932("出力フォルダー：") + ToCp932(output_folder.native()) + "\r\n";
    return text;
}

}  // namespace gridora
