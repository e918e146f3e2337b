#pragma once
// How the site builder reports to the person waiting for it. The window program implements these with
// the progress window `TGenStat` and the main window's services, vistrel-cli with a progress bar on
// stderr, the tests with recording fakes. Texts are Windows-1252 bytes.
#include "common/job.h"

#include <filesystem>
#include <string>

namespace vistrel {

enum class TStepAdvance { TotalOnly, TotalAndStep };

// The progress window: one bar for the current step, one for all files, and a cancel flag that
// outlives the run so that Publish and the CD-ROM export can read it after the builder returned.
class SiteProgress : public JobControl {
public:
    // Shows the window and clears the cancel flag; `totalFiles` is the maximum of the files bar.
    virtual void Start(int totalFiles) = 0;
    // A new step: its caption and the maximum of the step bar, whose position starts at 0.
    virtual void BeginStep(const std::string& caption, int steps) = 0;
    virtual void ShowFile(const std::filesystem::path& file) = 0;
    // One more file done: the files bar (and the step bar when asked) advance; `filesDone` is shown.
    virtual void FileDone(int filesDone, TStepAdvance advance) = 0;
    // Lets the window repaint and "Abbrechen" be pressed.
    void ProcessEvents() override = 0;
    bool Cancelled() const override = 0;
    virtual void SetCancelled() = 0;
    virtual void Close() = 0;
    // A page came out incomplete; the run goes on. The text names the style and the page.
    virtual void Warning(const std::string& /*text*/) {}
};

// The main window's part in a run. Every hook does nothing by default, which is all vistrel-cli needs.
class SiteHost {
public:
    virtual ~SiteHost() = default;
    virtual void LockMainWindow() {}
    virtual void UnlockMainWindow() {}
    // The album open in the main window may hold unsaved changes to its pictures.
    virtual void SaveOpenPictureList() {}
    // The builder marked album `index` as published; the album tree shows the check mark.
    virtual void AlbumPublished(int /*index*/) {}
    virtual void SetBusyCursor(bool /*busy*/) {}
    // Opens the start page with the system's default handler (the web browser).
    virtual void OpenDocument(const std::filesystem::path& /*file*/) {}
};

// A progress window nobody sees; it still keeps the cancel flag.
class TSilentSiteProgress : public SiteProgress {
public:
    void Start(int) override { cancelled_ = false; }
    void BeginStep(const std::string&, int) override {}
    void ShowFile(const std::filesystem::path&) override {}
    void FileDone(int, TStepAdvance) override {}
    void ProcessEvents() override {}
    bool Cancelled() const override { return cancelled_; }
    void SetCancelled() override { cancelled_ = true; }
    void Close() override {}

private:
    bool cancelled_ = false;
};

} // namespace vistrel
