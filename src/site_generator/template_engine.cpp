#include "site_generator/template_engine.h"

#include "common/cp1252.h"
#include "common/line_file.h"
#include "site_generator/template_include.h"
#include "site_generator/template_keywords.h"

#include <algorithm>

namespace vistrel {

namespace {

constexpr std::string_view kTagOpen = "/#";
constexpr std::string_view kTagClose = "#/";
constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCommentClose = "-->";

void ExpandLines(TSiteState& state, std::vector<std::string> lines, std::vector<std::string>& output,
                 TExpansionRun& run) {
    TExpansion expansion(state, output, run);
    expansion.Lines = std::move(lines);
    expansion.Run();
    if (run.Exhausted()) state.WorkLimitReached = true;
}

} // namespace

TExpansion::TExpansion(TSiteState& state, std::vector<std::string>& output, TExpansionRun& run)
    : State(state), Output(output), run_(run) {}

void TExpansion::Charge(int64_t units) {
    run_.workLeft -= units;
}

void TExpansion::EnterLine(int index) {
    Rest = Lines[static_cast<size_t>(index)];
    Charge(static_cast<int64_t>(Rest.size()) + 1);
}

void TExpansion::Run() {
    LineIndex = 0;
    while (LineIndex < LineCount() && !run_.Exhausted()) {
        EnterLine(LineIndex);
        ExpandRest();
        // A skip that found nothing leaves LineIndex on the line count; one more step ends the loop.
        ++LineIndex;
        Output.emplace_back();
    }
    LoopStack.clear();
}

void TExpansion::ExpandRest() {
    while (!Rest.empty() && !run_.Exhausted()) {
        SplitRest();
        AppendText(Before);
        if (!Keyword.empty()) {
            if (TKeywordHandler handler = FindKeywordHandler(Keyword)) handler(*this, State);
        }
        Rest = After;
    }
}

// The first "#/" of the whole rest closes the tag, also when it stands in front of the first "/#":
// then there is no tag, and the rest of the line is copied as it is, later tags included.
void TExpansion::SplitRest() {
    const size_t open = Rest.find(kTagOpen);
    const size_t close = open == std::string_view::npos ? open : Rest.find(kTagClose);
    if (close == std::string_view::npos || open >= close) {
        Before = Rest;
        Keyword.clear();
        After = {};
        return;
    }
    Before = Rest.substr(0, open);
    After = Rest.substr(close + kTagClose.size());
    // In "/#/" one "#" serves both markers; the keyword is then empty.
    const size_t keywordStart = open + kTagOpen.size();
    Keyword.clear();
    if (close > keywordStart) {
        Keyword.assign(Rest.substr(keywordStart, close - keywordStart));
        for (char& c : Keyword)
            c = AnsiUpperChar(c);
    }
    // The comment wrapper goes with the tag only when "<!--" stands once in Before, at its end.
    if (!Keyword.empty() && Before.size() >= kCommentOpen.size() &&
        Before.find(kCommentOpen) == Before.size() - kCommentOpen.size() &&
        After.starts_with(kCommentClose)) {
        Before.remove_suffix(kCommentOpen.size());
        After.remove_prefix(kCommentClose.size());
    }
}

std::string& TExpansion::CurrentLine() {
    if (Output.empty()) Output.emplace_back();
    return Output.back();
}

void TExpansion::AppendText(std::string_view text) {
    std::string& line = CurrentLine();
    if (text.empty() || run_.Exhausted()) return;
    Charge(static_cast<int64_t>(text.size()));
    line.append(text);
}

void TExpansion::AppendTextBr(std::string_view text) {
    std::string& line = CurrentLine();
    if (text.empty() || run_.Exhausted()) return;
    Charge(static_cast<int64_t>(text.size()) * 2);
    for (size_t pos = text.find("\r\n"); pos != std::string_view::npos; pos = text.find("\r\n")) {
        line.append(text.substr(0, pos));
        line.append("<br>");
        text.remove_prefix(pos + 2);
    }
    line.append(text);
}

// No nesting count: the first tag with the wanted keyword ends the skip. Nothing on the way is
// handled, and text in front of the found tag on its line is dropped.
void TExpansion::SkipToTag(std::string_view name) {
    for (;;) {
        SplitRest();
        if (Keyword == name) return;
        if (!After.empty()) {
            Rest = After;
            continue;
        }
        ++LineIndex;
        if (LineIndex >= LineCount() || run_.Exhausted()) {
            LineIndex = std::max(LineIndex, LineCount());
            After = {};
            return;
        }
        EnterLine(LineIndex);
    }
}

void TExpansion::PushLoop() {
    LoopStack.emplace_back(After, LineIndex);
}

void TExpansion::RepeatLoop() {
    if (LoopStack.empty()) LoopStack.emplace_back(std::string_view{}, -1);
    After = LoopStack.back().first;
    LineIndex = LoopStack.back().second;
    Charge(static_cast<int64_t>(After.size()) + 1);
}

void TExpansion::DropLoop() {
    if (!LoopStack.empty()) LoopStack.pop_back();
}

void TExpansion::IncludeFile(std::string_view name) {
    if (run_.depth >= kMaxIncludeDepth || run_.Exhausted()) return;
    Charge(kIncludeWork);
    std::optional<std::filesystem::path> path = FindIncludeFile(State, name);
    std::vector<std::string> lines;
    if (!path || !ReadLineFile(*path, lines)) return;
    ++run_.depth;
    ExpandLines(State, std::move(lines), Output, run_);
    --run_.depth;
}

void ExpandTemplate(TSiteState& state, const std::filesystem::path& path, std::vector<std::string>& output) {
    std::vector<std::string> lines;
    if (!ReadLineFile(path, lines)) return;
    TExpansionRun run{0, state.WorkLimit};
    ExpandLines(state, std::move(lines), output, run);
}

void ExpandTemplateText(TSiteState& state, std::string_view bytes, std::vector<std::string>& output) {
    TExpansionRun run{0, state.WorkLimit};
    ExpandLines(state, SplitLines(bytes), output, run);
}

} // namespace vistrel
