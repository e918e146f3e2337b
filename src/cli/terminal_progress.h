#pragma once
// Progress of the long commands on stderr: a one-line bar redrawn in place when stderr is a terminal,
// nothing at all otherwise, so that scripts and logs stay clean.
#include "site_generator/cdrom_export.h"
#include "site_generator/site_progress.h"

#include <iosfwd>

namespace vistrel::cli {

class TTerminalBar {
public:
    explicit TTerminalBar(std::ostream& err);
    void Draw(int done, int total, const std::string& what);
    void Clear();

private:
    std::ostream& err_;
    bool enabled_;
    bool drawn_ = false;
};

// The site builder's progress window on the terminal; nothing there can press "Abbrechen".
class TTerminalSiteProgress : public TSilentSiteProgress {
public:
    explicit TTerminalSiteProgress(std::ostream& err) : err_(err), bar_(err) {}
    void Start(int totalFiles) override;
    void ShowFile(const std::filesystem::path& file) override { file_ = file.filename().string(); }
    void FileDone(int filesDone, TStepAdvance advance) override;
    void Close() override { bar_.Clear(); }
    void Warning(const std::string& text) override;

private:
    std::ostream& err_;
    TTerminalBar bar_;
    int total_ = 0;
    std::string file_;
};

class TTerminalCdromProgress : public CdromProgress {
public:
    explicit TTerminalCdromProgress(std::ostream& err) : bar_(err) {}
    ~TTerminalCdromProgress() override { bar_.Clear(); }
    void ShowFile(const std::filesystem::path& target) override { file_ = target.filename().string(); }
    void FileCopied(int done, int total) override { bar_.Draw(done, total, file_); }
    void ProcessEvents() override {}
    bool Cancelled() const override { return false; }

private:
    TTerminalBar bar_;
    std::string file_;
};

} // namespace vistrel::cli
