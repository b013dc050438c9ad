#include "platform/unlha/extract_command.h"

namespace unlha {
namespace {

struct Word {
    std::string text;     // without quotes
    bool quoted = false;  // some part of it was in quotes: never a switch
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::optional<std::vector<Word>> SplitWords(std::string_view line, std::string& error) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        Word w;
        while (i < line.size() && !IsBlank(line[i])) {
            if (line[i] != '"') {
                w.text.push_back(line[i++]);
                continue;
            }
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "unclosed quote";
                return std::nullopt;
            }
            w.quoted = true;
            w.text.append(line.substr(i + 1, close - i - 1));
            i = close + 1;
        }
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

}  // namespace

std::optional<ExtractCommand> ParseExtractCommand(std::string_view line, std::string& error) {
    std::optional<std::vector<Word>> words = SplitWords(line, error);
    if (!words) return std::nullopt;
    ExtractCommand command;
    std::vector<std::string> positional;
    std::string verb;
    bool have_verb = false;
    bool x_switch = false;
    for (Word& w : *words) {
        if (IsSwitch(w)) {
            if (w.text == "-x" || w.text == "-x1") x_switch = true;
            if (w.text == "-x0") x_switch = false;
        } else if (!have_verb) {
            verb = std::move(w.text);
            have_verb = true;
        } else {
            positional.push_back(std::move(w.text));
        }
    }
    if (verb == "e" || verb == "E") {
        command.keep_folders = x_switch;
    } else if (verb == "x" || verb == "X") {
        command.keep_folders = true;
    } else {
        error = have_verb ? "unknown command " + verb : "no command";
        return std::nullopt;
    }
    if (positional.empty() || positional[0].empty()) {
        error = "no archive";
        return std::nullopt;
    }
    if (positional.size() < 2 || !EndsWithSeparator(positional[1])) {
        error = "no destination folder (it must end with \"/\")";
        return std::nullopt;
    }
    command.archive = std::move(positional[0]);
    command.destination = std::move(positional[1]);
    for (std::size_t i = 2; i < positional.size(); ++i) command.patterns.push_back(std::move(positional[i]));
    return command;
}

}  // namespace unlha
