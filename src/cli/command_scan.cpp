#include "cli/cli_commands.h"

#include "album_library/import_job.h"
#include "cli/cli_texts.h"
#include "cli/terminal_progress.h"
#include "common/cp1252.h"
#include "common/numbers.h"
#include "scanner/scan_job.h"
#include "scanner/scanner_texts.h"

#include <optional>
#include <ostream>

namespace vistrel::cli {

namespace {

// The scan's progress on the terminal; the source's window is the options given on the command line.
class TTerminalScanControl : public ScanJobControl {
public:
    explicit TTerminalScanControl(std::ostream& err) : bar_(err) {}
    ~TTerminalScanControl() override { bar_.Clear(); }
    void ScanProgress(int page, int percent) override {
        bar_.Draw(percent, 100, std::string(TerminalText(cli_texts::kScanPage)) + std::to_string(page));
    }

private:
    TTerminalBar bar_;
};

int ListDevices(TCommandIo io) {
    TScanner scanner;
    if (!scanner.IsAvailable()) {
        io.err << TerminalText(scanner_texts::kNoScanner) << '\n';
        return 1;
    }
    for (const TScanDevice& device : scanner.Devices())
        io.out << device.name << '\t' << AnsiToUtf8(device.vendor) << '\t' << AnsiToUtf8(device.model) << '\t'
               << AnsiToUtf8(device.type) << '\n';
    return 0;
}

} // namespace

std::optional<TScanArgs> ParseScanArgs(const TCommandArgs& args) {
    TScanArgs parsed;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if (arg == "--list") {
            parsed.list = true;
        } else if (arg == "--device" && hasValue) {
            parsed.params.device = args[++i];
        } else if (arg == "--option" && hasValue) {
            const std::string& option = args[++i];
            size_t equals = option.find('=');
            if (equals == 0 || equals == std::string::npos) return std::nullopt;
            parsed.params.options.push_back({option.substr(0, equals), option.substr(equals + 1)});
        } else if (arg.rfind("--", 0) == 0) {
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (parsed.list) return positional.empty() ? std::optional(parsed) : std::nullopt;
    if (positional.size() != 2) return std::nullopt;
    parsed.album = positional[0];
    parsed.name = positional[1];
    return parsed;
}

// Does what "Bild von TWAIN importieren..." does, with the options of the command line in place of
// the scan dialog and NAME as the answer to the file name question; prints the stored picture.
int RunScan(TProgramContext& context, const TScanArgs& args, TCommandIo io) {
    if (args.list) return ListDevices(io);
    int album = FindAlbum(context.albums, args.album);
    if (album < 0) {
        io.err << "vistrel-cli: no album " << args.album << '\n';
        return 1;
    }
    TDibGraphic picture;
    {
        TScanner scanner;
        TScanJob job(scanner, context.settings);
        TTerminalScanControl control(io.err);
        auto result = job.Run(args.params, picture, control);
        if (!result.Ok()) {
            io.err << AnsiToUtf8(ScanMessage(result)) << '\n';
            return 1;
        }
    }
    if (picture.IsEmpty()) {
        io.err << "vistrel-cli: nothing was scanned\n";
        return 1;
    }
    // As with the window's question: an empty name imports nothing.
    if (args.name.empty()) return 0;
    TPictureList pictures = context.albums.LoadPictureList(album);
    ImportProgress silent;
    TImportJob import(context.settings, silent, context.albums.AlbumPath(album), pictures);
    TImportResult result = import.ImportScanned(picture, ScanFileName(Utf8ToAnsi(args.name)));
    for (const auto& stored : result.stored)
        io.out << stored.string() << '\n';
    bool saved = context.albums.SavePictureList(album, pictures);
    if (!result.Ok()) {
        io.err << AnsiToUtf8(ImportMessage(result)) << '\n';
        return 1;
    }
    return saved ? 0 : 1;
}

} // namespace vistrel::cli
