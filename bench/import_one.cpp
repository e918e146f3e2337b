// One import as `vistrel-cli import` runs it, in a process of its own and without the album list:
// the settings of a program folder, then TImportJob on one file into an album folder. The
// large-version benchmark (import_large_version.sh) times this whole process against djpeg.
// Usage: bench_import_one PROGRAM_FOLDER ALBUM_FOLDER PICTURE
#include "album_library/import_job.h"
#include "common/cp1252.h"
#include "common/user_prompts.h"
#include "settings/program_settings.h"

#include <iostream>

namespace {

class SilentPrompts : public vistrel::UserPrompts {
public:
    void ShowMessage(const std::string& text, vistrel::MessageKind) override { std::cerr << text << '\n'; }
    bool AskYesNo(const std::string&) override { return false; }
    vistrel::Answer AskYesNoCancel(const std::string&) override { return vistrel::Answer::Cancel; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: bench_import_one PROGRAM_FOLDER ALBUM_FOLDER PICTURE\n";
        return 2;
    }
    SilentPrompts prompts;
    vistrel::TProgramSettings settings(vistrel::TProgramFolders::For(argv[1]), prompts);
    settings.Load();
    vistrel::ImportProgress progress;
    vistrel::TPictureList pictures;
    vistrel::TImportJob job(settings, progress, argv[2], pictures);
    vistrel::TImportResult result = job.ImportFiles({argv[3]});
    if (!result.Ok()) {
        std::cerr << vistrel::AnsiToUtf8(vistrel::ImportMessage(result)) << '\n';
        return 1;
    }
    return 0;
}
