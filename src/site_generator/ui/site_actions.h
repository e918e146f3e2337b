#pragma once
// What the main window's actions call: "Vorschau" (actPreview, F9), "Style auswählen..."
// (actSelectStyle, Ctrl+E) and "Alben für CDROM erstellen..." (actCDROM). Publish calls
// GenerateSite itself through RunSiteGeneration and then reads the result's cancel flag.
#include "program/program_context.h"
#include "program/site_run.h"
#include "site_generator/site_builder.h"

#include <functional>

class QWidget;

namespace vistrel {

class TGenStat;

// The main window's services for a run; each hook may stay empty.
struct TSiteWindowHooks {
    std::function<void()> lockMainWindow;
    std::function<void()> unlockMainWindow;
    std::function<void()> saveOpenPictureList; // the open album's picture list
    std::function<void(int)> albumPublished;   // set the album's check mark in the tree
    std::function<void()> showStatus;          // refresh the status bar ("Style: ...")
};

// A SiteHost on the desktop: the hooks above, the wait cursor and the default browser.
class TDesktopSiteHost : public SiteHost {
public:
    explicit TDesktopSiteHost(const TSiteWindowHooks& hooks) : hooks_(hooks) {}
    void LockMainWindow() override;
    void UnlockMainWindow() override;
    void SaveOpenPictureList() override;
    void AlbumPublished(int index) override;
    void SetBusyCursor(bool busy) override;
    void OpenDocument(const std::filesystem::path& file) override;

private:
    const TSiteWindowHooks& hooks_;
    bool busy_ = false;
};

// Runs GenerateSite with the progress window. A page that cannot be written is shown as an error
// message (through context.prompts) and gives a result without a start page.
TSiteResult RunSiteGeneration(TProgramContext& context, TSiteMode mode, TGenStat& progress,
                              const TSiteWindowHooks& hooks);

// "Vorschau": generates the site and opens the start page in the browser. True when a start page
// exists and the run was not cancelled.
bool RunPreview(TProgramContext& context, TGenStat& progress, const TSiteWindowHooks& hooks);

// "Style auswählen...": shows TSelectStyleForm modally and stores the choice (also after
// "Abbrechen", which stores the unchanged style), then hooks.showStatus.
void ShowSelectStyle(QWidget* parent, TProgramSettings& settings, const TSiteWindowHooks& hooks);

// "Alben für CDROM erstellen...": generates the site (no preview); unless that produced no site or
// was cancelled, shows TGenCDROMForm modally.
void ShowCdromExport(QWidget* parent, TProgramContext& context, TGenStat& progress,
                     const TSiteWindowHooks& hooks);

} // namespace vistrel
