// One import as `vistrel-cli import` runs it, without the album list: the settings of a program
// folder, then TImportJob on one file into an album folder. The large-version benchmark
// (import_large_version.sh) times this whole process against djpeg.
// Usage: bench_import_one PROGRAM_FOLDER ALBUM_FOLDER PICTURE
//        bench_import_one --rounds N PROGRAM_FOLDER ALBUM_FOLDER PICTURE
// With --rounds, one process imports the picture N times into the emptied album, each import
// beside a plain libjpeg decode of the same file to RGB rows (what djpeg does), and prints both
// times of every round: what an import costs in the running program, without the start of a
// process, which a window pays once.
#include "album_library/import_job.h"
#include "common/cp1252.h"
#include "common/user_prompts.h"
#include "settings/program_settings.h"

#include <jpeglib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

namespace {

class SilentPrompts : public vistrel::UserPrompts {
public:
    void ShowMessage(const std::string& text, vistrel::MessageKind) override { std::cerr << text << '\n'; }
    bool AskYesNo(const std::string&) override { return false; }
    vistrel::Answer AskYesNoCancel(const std::string&) override { return vistrel::Answer::Cancel; }
};

bool ImportOnce(vistrel::TProgramSettings& settings, const std::string& album, const std::string& picture) {
    vistrel::ImportProgress progress;
    vistrel::TPictureList pictures;
    vistrel::TImportJob job(settings, progress, album, pictures);
    vistrel::TImportResult result = job.ImportFiles({picture});
    if (!result.Ok()) std::cerr << vistrel::AnsiToUtf8(vistrel::ImportMessage(result)) << '\n';
    return result.Ok();
}

// djpeg's decode with its defaults (accurate integer IDCT, smooth upsampling), rows to memory.
void DecodeLikeDjpeg(const std::string& picture) {
    FILE* file = std::fopen(picture.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot open " + picture);
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    std::vector<JSAMPLE> row(size_t(info.output_width) * size_t(info.output_components));
    JSAMPROW rows[1] = {row.data()};
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows, 1);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
}

double Milliseconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

int Rounds(vistrel::TProgramSettings& settings, int rounds, const std::string& album,
           const std::string& picture) {
    for (int round = 0; round < rounds; ++round) {
        for (const char* made : {"images", "thumbs", "large"})
            std::filesystem::remove_all(std::filesystem::path(album) / made);
        auto start = std::chrono::steady_clock::now();
        if (!ImportOnce(settings, album, picture)) return 1;
        double import = Milliseconds(start);
        start = std::chrono::steady_clock::now();
        DecodeLikeDjpeg(picture);
        std::cout << "import " << import << " decode " << Milliseconds(start) << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 0;
    if (argc == 6 && std::string(argv[1]) == "--rounds") {
        rounds = std::stoi(argv[2]);
        argv += 2, argc -= 2;
    }
    if (argc != 4) {
        std::cerr << "usage: bench_import_one [--rounds N] PROGRAM_FOLDER ALBUM_FOLDER PICTURE\n";
        return 2;
    }
    SilentPrompts prompts;
    vistrel::TProgramSettings settings(vistrel::TProgramFolders::For(argv[1]), prompts);
    settings.Load();
    if (rounds > 0) return Rounds(settings, rounds, argv[2], argv[3]);
    return ImportOnce(settings, argv[2], argv[3]) ? 0 : 1;
}
