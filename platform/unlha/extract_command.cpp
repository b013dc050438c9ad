#include "platform/unlha/extract_command.h"

#include <filesystem>
#include <system_error>

namespace unlha {
namespace {

struct Word {
    std::string text;        // without quotes
    std::size_t begin = 0;   // span in the line, quotes included
    std::size_t end = 0;
    bool quoted = false;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<Word> SplitWords(std::string_view line) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        Word w;
        w.begin = i;
        if (line[i] == '"') {
            w.quoted = true;
            std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) close = line.size();
            w.text = line.substr(i + 1, close - i - 1);
            i = std::min(close + 1, line.size());
        } else {
            while (i < line.size() && !IsBlank(line[i])) w.text.push_back(line[i++]);
        }
        w.end = i;
        words.push_back(std::move(w));
    }
    return words;
}

bool IsSwitch(const Word& w) {
    if (w.quoted || w.text.size() < 2 || w.text[0] != '-') return false;
    for (std::size_t i = 1; i < w.text.size(); ++i) {
        char c = w.text[i];
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-';
        if (!plain) return false;
    }
    return true;
}

bool EndsWithSeparator(std::string_view s) { return !s.empty() && (s.back() == '/' || s.back() == '\\'); }

bool IsExistingFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The text of words [first, last] as it stands in the line; a quoted word is never joined.
std::string JoinWords(std::string_view line, const std::vector<Word>& words, std::size_t first, std::size_t last) {
    if (first == last) return words[first].text;
    return std::string(line.substr(words[first].begin, words[last].end - words[first].begin));
}

}  // namespace

std::optional<ExtractCommand> ParseExtractCommand(std::string_view line, std::string& error) {
    std::vector<Word> words = SplitWords(line);
    ExtractCommand command;
    std::vector<Word> positional;
    std::string verb;
    bool x_switch = false;
    for (Word& w : words) {
        if (IsSwitch(w)) {
            if (w.text == "-x" || w.text == "-x1") x_switch = true;
            if (w.text == "-x0") x_switch = false;
        } else if (verb.empty()) {
            verb = w.text;
        } else {
            positional.push_back(std::move(w));
        }
    }
    if (verb == "e" || verb == "E") {
        command.keep_folders = x_switch;
    } else if (verb == "x" || verb == "X") {
        command.keep_folders = true;
    } else {
        error = verb.empty() ? "no command" : "unknown command " + verb;
        return std::nullopt;
    }
    if (positional.empty()) {
        error = "no archive";
        return std::nullopt;
    }

    // A run of words may only be joined while no quoted word or switch lies inside it;
    // words are adjacent in `positional` exactly when nothing but blanks separates them.
    auto joinable = [&](std::size_t a, std::size_t b) {
        for (std::size_t i = a; i <= b; ++i)
            if (positional[i].quoted && a != b) return false;
        for (std::size_t i = a; i < b; ++i) {
            std::string_view gap = line.substr(positional[i].end, positional[i + 1].begin - positional[i].end);
            for (char c : gap)
                if (!IsBlank(c)) return false;
        }
        return true;
    };

    std::size_t next = 0;
    std::size_t archive_last = 0;
    for (std::size_t last = 0; last < positional.size() && joinable(0, last); ++last) {
        if (IsExistingFile(JoinWords(line, positional, 0, last))) {
            archive_last = last;
            break;
        }
    }
    command.archive = JoinWords(line, positional, 0, archive_last);
    next = archive_last + 1;

    for (std::size_t last = next; last < positional.size() && joinable(next, last); ++last) {
        std::string candidate = JoinWords(line, positional, next, last);
        if (EndsWithSeparator(candidate)) {
            command.destination = candidate;
            next = last + 1;
            break;
        }
    }
    if (command.destination.empty()) {
        error = "no destination folder (it must end with \"/\")";
        return std::nullopt;
    }
    for (std::size_t i = next; i < positional.size(); ++i) command.patterns.push_back(positional[i].text);
    return command;
}

}  // namespace unlha
