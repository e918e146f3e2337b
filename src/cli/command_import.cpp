#include "cli/cli_commands.h"

#include "album_library/import_job.h"
#include "cli/terminal_progress.h"
#include "common/cp1252.h"
#include "common/numbers.h"

#include <ostream>

namespace vistrel::cli {

namespace {

// The import's progress window on the terminal: the file bar with the step in work.
class TTerminalImportProgress : public ImportProgress {
public:
    explicit TTerminalImportProgress(std::ostream& err) : bar_(err) {}
    void Start(int files) override { total_ = files; }
    void ShowCount(int barPosition, const std::string&) override { done_ = barPosition; }
    void ShowPicture(const std::filesystem::path& picture) override { file_ = picture.filename().string(); }
    void ShowStep(const std::string& step) override { bar_.Draw(done_, total_, file_ + ": " + step); }
    void Close() override { bar_.Clear(); }

private:
    TTerminalBar bar_;
    int total_ = 0;
    int done_ = 0;
    std::string file_;
};

// The message's CR LF line ends as the terminal's LF.
std::string TerminalLines(std::string text) {
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

} // namespace

// A FolderName (without regard to case) or else a 0-based index; -1 when it names no album.
int FindAlbum(const TAlbumList& albums, const std::string& argument) {
    std::string name = Utf8ToAnsi(argument);
    for (int i = 0; i < albums.Count(); ++i)
        if (AnsiSameText(albums[i].FolderName, name)) return i;
    int index = -1;
    return ParseInt(argument, index) && albums.IsValidIndex(index) ? index : -1;
}

int FindPicture(const TPictureList& pictures, const std::string& argument) {
    std::string name = Utf8ToAnsi(argument);
    for (size_t i = 0; i < pictures.size(); ++i)
        if (AnsiSameText(pictures[i].FileName(), name)) return static_cast<int>(i);
    int index = -1;
    return ParseInt(argument, index) && index >= 0 && index < static_cast<int>(pictures.size()) ? index : -1;
}

std::optional<TImportArgs> ParseImportArgs(const TCommandArgs& args) {
    if (args.size() < 2) return std::nullopt;
    return TImportArgs{args[0], {args.begin() + 1, args.end()}};
}

// Does what "Bild importieren..." does with FILE... chosen in the file dialog, then saves the album's
// picture list. Every readable file is imported; the summary of the files left out (and of those
// imported but possibly damaged) goes to stderr, and a file left out makes the exit status 1.
int RunImport(TProgramContext& context, const TImportArgs& args, TCommandIo io) {
    int album = FindAlbum(context.albums, args.album);
    if (album < 0) {
        io.err << "vistrel-cli: no album " << args.album << '\n';
        return 1;
    }
    TPictureList pictures = context.albums.OpenPictureList(album);
    TTerminalImportProgress progress(io.err);
    TImportJob job(context.settings, progress, context.albums.AlbumPath(album), pictures);
    TImportResult result = job.Run({TImportWay::Files, {args.files.begin(), args.files.end()}, {}});
    for (const auto& stored : result.stored)
        io.out << stored.string() << '\n';
    bool saved = context.albums.SavePictureList(album, pictures);
    if (std::string message = ImportMessage(result); !message.empty())
        io.err << AnsiToUtf8(TerminalLines(message)) << '\n';
    return saved && result.Ok() ? 0 : 1;
}

} // namespace vistrel::cli
