#pragma once
// A program folder in a temporary folder: albums with pictures, a style made of the files a test
// names, and fakes for the progress window and the main window that record what the builder did.
#include "program/program_context.h"
#include "program/site_run.h"
#include "site_generator/site_builder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vistrel::testing {

// Records the progress window; `cancelWhen` is asked before each file is shown and may press
// "Abbrechen".
class RecordingProgress : public SiteProgress {
public:
    void Start(int totalFiles) override {
        ++starts;
        total = totalFiles;
        cancelled = false;
    }
    void BeginStep(const std::string& caption, int) override { steps.push_back(caption); }
    void ShowFile(const std::filesystem::path& file) override {
        files.push_back(file.filename().string());
        if (cancelWhen && cancelWhen(*this, file)) cancelled = true;
    }
    void FileDone(int filesDone, TStepAdvance) override { done = filesDone; }
    void ProcessEvents() override {}
    bool Cancelled() const override { return cancelled; }
    void SetCancelled() override { cancelled = true; }
    void Close() override { ++closes; }

    std::function<bool(const RecordingProgress&, const std::filesystem::path&)> cancelWhen;
    std::vector<std::string> steps;
    std::vector<std::string> files;
    int starts = 0, closes = 0, total = 0, done = 0;
    bool cancelled = false;
};

class RecordingHost : public SiteHost {
public:
    void LockMainWindow() override { ++locks; }
    void UnlockMainWindow() override { ++unlocks; }
    void SaveOpenPictureList() override { ++saves; }
    void AlbumPublished(int index) override { published.push_back(index); }
    void OpenDocument(const std::filesystem::path& file) override { opened.push_back(file); }
    int locks = 0, unlocks = 0, saves = 0;
    std::vector<int> published;
    std::vector<std::filesystem::path> opened;
};

struct SiteTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::filesystem::path galleries = dir / "galleries";
    std::filesystem::path style = dir / "styles" / "Test";
    RecordingProgress progress;
    RecordingHost host;

    // One line of the album list: folder, info, text, preview, title, published.
    void AddAlbum(const std::string& folder, int pictures, bool published, const std::string& preview = "") {
        albumLines +=
            folder + "\tInfo\t\t" + preview + "\t" + folder + "\t" + (published ? "true" : "false") + "\r\n";
        WriteBytes(galleries / "info.txt", albumLines);
        std::filesystem::create_directories(galleries / folder);
        for (int i = 0; i < pictures; ++i) {
            std::string name = "p" + std::to_string(100 + i) + ".jpg";
            WriteBytes(galleries / folder / "thumbs" / name, "thumb" + std::to_string(i));
            WriteBytes(galleries / folder / "images" / name, "image" + std::to_string(i));
        }
    }
    void StyleFile(const std::string& name, const std::string& bytes) { WriteBytes(style / name, bytes); }
    void Setting(const std::string& line) { settingsLines += line + "\r\n"; }

    // Starts a program context on the folder as the programs do; the caller keeps it.
    std::unique_ptr<TProgramContext> Start() {
        WriteBytes(dir / "vistrel.ini", "[TSettingsForm]\r\n" + settingsLines);
        auto context = std::make_unique<TProgramContext>(dir.path(), prompts);
        context->Start();
        return context;
    }
    TSiteResult Generate(TSiteMode mode = TSiteMode::Preview) {
        auto context = Start();
        TSiteResult result = GenerateSite(SiteParamsOf(*context, mode), progress, host);
        lastAlbums = context->albums.Albums();
        return result;
    }

    static std::vector<std::string> Files(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static int Count(const std::string& text, const std::string& needle) {
        int n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++n;
        return n;
    }

    std::string albumLines;
    std::string settingsLines;
    std::vector<TAlbumEntry> lastAlbums;
};

} // namespace vistrel::testing
