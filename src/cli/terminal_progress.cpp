#include "cli/terminal_progress.h"

#include "common/cp1252.h"

#include <iostream>
#include <unistd.h>

namespace vistrel::cli {

// Only the real stderr on a terminal gets the bar; a test's string stream or a pipe never does.
TTerminalBar::TTerminalBar(std::ostream& err)
    : err_(err), enabled_(&err == &std::cerr && ::isatty(STDERR_FILENO)) {}

void TTerminalBar::Draw(int done, int total, const std::string& what) {
    if (!enabled_) return;
    constexpr int kWidth = 30;
    int filled = total > 0 ? std::min(kWidth, done * kWidth / total) : 0;
    err_ << '\r' << '[' << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(kWidth - filled), '.') << "] " << done << '/' << total << ' '
         << what.substr(0, 40) << "\x1b[K" << std::flush;
    drawn_ = true;
}

void TTerminalBar::Clear() {
    if (!drawn_) return;
    err_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

void TTerminalSiteProgress::Start(int totalFiles) {
    TSilentSiteProgress::Start(totalFiles);
    total_ = totalFiles;
}

void TTerminalSiteProgress::FileDone(int filesDone, TStepAdvance) {
    bar_.Draw(filesDone, total_, file_);
}

void TTerminalSiteProgress::Warning(const std::string& text) {
    bar_.Clear();
    err_ << "vistrel-cli: " << AnsiToUtf8(text) << '\n';
}

} // namespace vistrel::cli
