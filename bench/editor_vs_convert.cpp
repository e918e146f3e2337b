// Times every change of the picture editor on a 4000 x 3000 picture and the nearest ImageMagick
// `convert` command for it, interleaved round by round so that both sides see the same machine load;
// then the zoom redraw of the editor's view. Prints medians and ratios.
//   bench_editor [ROUNDS]        (needs /usr/bin/convert: tools/install-deps --with-bench)
//
// convert has to read its input and write its output on every run. Its time is therefore given twice:
// whole, and net of a baseline run that reads the same MPC file (a memory-mapped pixel cache, the
// cheapest input it has) and writes to null: without changing anything.
#include "image_processing/edit_session.h"
#include "image_processing/edit_zoom.h"
#include "image_processing/side_formats.h"
#include "image_processing/view_render.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace vistrel;

namespace {

class TSilentPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string& text, MessageKind) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool AskYesNo(const std::string&) override { return true; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::Yes; }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename F> double Milliseconds(F&& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double RunConvert(const std::string& arguments) {
    std::string command = "/usr/bin/convert " + arguments + " >/dev/null 2>&1";
    double ms = 0;
    int status = 0;
    ms = Milliseconds([&] { status = std::system(command.c_str()); });
    if (status != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return ms;
}

// A camera-like picture: smooth gradients with fine noise, so neither side meets a trivial case.
void MakePicture(TDibGraphic& picture, int width, int height) {
    picture.NewImage(width, height, ifRgb24);
    uint32_t state = 1;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            int noise = int(state >> 28);
            row[3 * x] = uint8_t((x * 255 / width + noise) & 0xFF);
            row[3 * x + 1] = uint8_t((y * 255 / height + noise) & 0xFF);
            row[3 * x + 2] = uint8_t(((x + y) * 127 / (width + height) + 64 + noise) & 0xFF);
        }
    }
}

struct TOperation {
    const char* name;
    bool gamma; // the gamma dialog's "Ok" at 2.5 instead of an action
    TEditAction action;
    const char* convertArguments;
};

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int width = 4000, height = 3000;
    fs::path work = fs::temp_directory_path() / ("vistrel-editor-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    TDibGraphic base;
    MakePicture(base, width, height);
    {
        TPpmGraphic ppm;
        ppm.CopyFromGraphic(&base);
        ppm.WriteToFile(work / "camera.ppm");
    }
    std::string in = (work / "camera.mpc").string();
    RunConvert((work / "camera.ppm").string() + " " + in);

    const TOperation operations[] = {
        {"Rechts 90 (rotate-right)", false, TEditAction::actRotateLeft, "-rotate 90"},
        {"Links 90 (rotate-left)", false, TEditAction::actRotateRight, "-rotate -90"},
        {"Horizontal spiegeln", false, TEditAction::actMirror, "-flop"},
        {"Vertikal spiegeln", false, TEditAction::actFlip, "-flip"},
        {"Heller", false, TEditAction::actBrighter, "-modulate 105"},
        {"Dunkler", false, TEditAction::actDarker, "-modulate 95"},
        {"Kontrast erhoehen", false, TEditAction::actContrastIncrease, "-contrast"},
        {"Kontrast verringern", false, TEditAction::actContrastDecrease, "+contrast"},
        {"Gamma 2,5", true, TEditAction::actBrighter, "-gamma 2.5"},
        {"Brillianz", false, TEditAction::actQuick, "-sharpen 0x1 -modulate 105 +contrast"},
        {"Schaerfen", false, TEditAction::actSharpen, "-sharpen 0x1"},
        {"Weichzeichnen", false, TEditAction::actSoften, "-blur 0x1"},
        {"Schwarzweissbild", false, TEditAction::actBlackWhite, "-colorspace Gray"},
    };
    const size_t count = std::size(operations);
    std::vector<std::vector<double>> ours(count), theirs(count), net(count);
    std::vector<double> undo;
    TSilentPrompts prompts;
    TEditSession session(prompts);
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < count; ++i) {
            const TOperation& op = operations[i];
            session.Picture().CopyFromGraphic(&base);
            ours[i].push_back(Milliseconds([&] {
                if (op.gamma)
                    session.ApplyGamma(2.5);
                else
                    session.Apply(op.action);
            }));
            if (i == 0) undo.push_back(Milliseconds([&] { session.Undo(); }));
            double whole = RunConvert(in + " " + op.convertArguments + " null:");
            double baseline = RunConvert(in + " null:");
            theirs[i].push_back(whole);
            net[i].push_back(std::max(0.0, whole - baseline));
        }
        std::fprintf(stderr, "round %d of %d done\n", round + 1, rounds);
    }

    std::printf("Editor changes on %d x %d (ifRgb24), %d interleaved rounds, medians in ms\n", width, height,
                rounds);
    std::printf("%-26s %10s %14s %14s %12s %12s\n", "operation", "vistrel", "convert whole", "convert net",
                "ratio whole", "ratio net");
    for (size_t i = 0; i < count; ++i) {
        double o = Median(ours[i]), t = Median(theirs[i]), n = Median(net[i]);
        std::printf("%-26s %10.1f %14.1f %14.1f %12.2f %12.2f\n", operations[i].name, o, t, n, o / t,
                    n > 0 ? o / n : 0.0);
    }
    std::printf("%-26s %10.1f\n", "Rueckgaengig", Median(undo));

    // The editor's view at its first size: 658 x 489 less menu, tool bar, status bar and frame.
    const TViewSize viewport{654, 404};
    std::vector<uint32_t> pixels(size_t(viewport.width) * size_t(viewport.height));
    auto redraw = [&](float percent) {
        TViewSize display = DisplaySize({width, height}, percent);
        TDisplayRect part{0, 0, std::min(display.width, viewport.width),
                          std::min(display.height, viewport.height)};
        std::vector<double> times;
        for (int k = 0; k < 9; ++k)
            times.push_back(Milliseconds([&] {
                RenderDisplayPart(base, display, part, TStretchMode::Average, pixels.data(), viewport.width);
            }));
        return Median(times);
    };
    TViewZoom fullPage;
    fullPage.SetMode(zmFullPage);
    fullPage.Update(viewport, {width, height});
    std::printf("\nZoom redraw of the visible part (%d x %d view), medians of 9 in ms\n", viewport.width,
                viewport.height);
    std::printf("%-26s %10.2f\n", "Ganze Seite", redraw(fullPage.Percent()));
    double worst = 0;
    for (int percent = kMinStepZoom; percent <= kMaxStepZoom; percent += kZoomStep) {
        double ms = redraw(float(percent));
        worst = std::max(worst, ms);
        if (percent == 25 || percent == 50 || percent == 100 || percent == 200 || percent == 400)
            std::printf("%-26s %10.2f\n", (std::to_string(percent) + " %").c_str(), ms);
    }
    std::printf("%-26s %10.2f\n", "slowest step 25..400 %", worst);
    fs::remove_all(work);
    return 0;
}
