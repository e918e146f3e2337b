#pragma once
// A program folder with two albums of two small pictures each, and vistrel-cli run on it.
#include "image_processing/jpeg_graphic.h"
#include "support/cli_run.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vistrel::testing {

struct CliProgram : ::testing::Test {
    TempDir dir;
    std::filesystem::path galleries = dir / "galleries";
    std::string out, err;

    CliProgram() {
        std::filesystem::create_directories(dir / "styles" / "Klassisch");
        std::filesystem::create_directories(dir / "styles" / "Raster");
        WriteBytes(galleries / "info.txt",
                   "Sommer\tAm See\t\t\tSommer\tfalse\r\nWinter\t\t\t\tWinter\ttrue\r\n");
        for (const char* album : {"Sommer", "Winter"}) {
            std::filesystem::create_directories(galleries / album / "images");
            std::filesystem::create_directories(galleries / album / "thumbs");
            for (const char* name : {"a.jpg", "b.jpg"}) {
                TJpegGraphic jpeg;
                jpeg.NewImage(40, 30, ifRgb24);
                jpeg.WriteToFile(galleries / album / "images" / name);
                WriteBytes(galleries / album / "thumbs" / name, "thumb");
            }
        }
        WriteBytes(galleries / "Sommer" / "info.txt",
                   "a.jpg\tErstes\tZeile 1\x01Zeile 2\r\nb.jpg\tZweites\r\n");
        WriteBytes(galleries / "Winter" / "info.txt", "a.jpg\tSchnee\r\nb.jpg\r\n");
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-folder", dir.path().string()});
        return RunCliCaptured(args, out, err);
    }

    // The album list's lines (folder and publish mark) as stored.
    std::string AlbumList() { return ReadBytes(galleries / "info.txt"); }
};

} // namespace vistrel::testing
