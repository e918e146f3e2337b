// The album commands of the main window's "Album" menu: new, edit, delete, move, publish mark and
// preview picture, each on the operation the window runs.
#include "cli/cli_commands.h"

#include "album_library/album_operations.h"
#include "common/cp1252.h"
#include "common/numbers.h"

#include <ostream>

namespace vistrel::cli {
namespace {

void PrintAlbum(const TAlbumList& albums, int index, TCommandIo io) {
    io.out << index << '\t' << AnsiToUtf8(albums[index].FolderName) << '\n';
}

std::optional<std::string> AnsiOption(const TSplitArgs& split, const std::string& name, bool lines) {
    auto value = split.values.find(name);
    if (value == split.values.end()) return std::nullopt;
    std::string ansi = Utf8ToAnsi(value->second);
    return lines ? UnescapeLine(ansi) : ansi;
}

} // namespace

std::optional<TNewAlbumArgs> ParseNewAlbumArgs(const TCommandArgs& args) {
    auto split = SplitArgs(args, {"--info", "--text"});
    if (!split || split->words.size() != 1) return std::nullopt;
    return TNewAlbumArgs{Utf8ToAnsi(split->words[0]), AnsiOption(*split, "--info", false).value_or(""),
                         AnsiOption(*split, "--text", true).value_or("")};
}

int RunNewAlbum(TProgramContext& context, const TNewAlbumArgs& args, TCommandIo io) {
    int index = CreateNewAlbum(context.albums, args.title, args.info, args.text);
    if (!context.albums.IsValidIndex(index)) return 1;
    PrintAlbum(context.albums, index, io);
    return 0;
}

std::optional<TEditAlbumArgs> ParseEditAlbumArgs(const TCommandArgs& args) {
    auto split = SplitArgs(args, {"--title", "--info", "--text"});
    if (!split || split->words.size() != 1 || split->values.empty()) return std::nullopt;
    return TEditAlbumArgs{split->words[0], AnsiOption(*split, "--title", false),
                          AnsiOption(*split, "--info", false), AnsiOption(*split, "--text", true)};
}

// The album dialog shows the stored fields; what is not given stays as it is.
int RunEditAlbum(TProgramContext& context, const TEditAlbumArgs& args, TCommandIo io) {
    int index = FindAlbumOrReport(context.albums, args.album, io);
    if (index < 0) return 1;
    const TAlbumEntry& album = context.albums[index];
    ApplyAlbumInfo(context.albums, index, args.title.value_or(album.Title), args.info.value_or(album.Info),
                   args.text.value_or(album.Text));
    PrintAlbum(context.albums, index, io);
    return 0;
}

std::optional<TDeleteAlbumArgs> ParseDeleteAlbumArgs(const TCommandArgs& args) {
    if (args.size() != 1) return std::nullopt;
    return TDeleteAlbumArgs{args[0]};
}

int RunDeleteAlbum(TProgramContext& context, const TDeleteAlbumArgs& args, TCommandIo io) {
    int index = FindAlbumOrReport(context.albums, args.album, io);
    if (index < 0) return 1;
    std::filesystem::path folder = context.albums.AlbumPath(index);
    DeleteAlbum(context.albums, index);
    // A failure has shown "Fehler beim Löschen von ..." through the prompts.
    std::error_code ec;
    return std::filesystem::exists(folder, ec) ? 1 : 0;
}

std::optional<TMoveAlbumArgs> ParseMoveAlbumArgs(const TCommandArgs& args) {
    if (args.size() != 2) return std::nullopt;
    TMoveAlbumArgs parsed;
    parsed.album = args[0];
    if (args[1] == "up") {
        parsed.where = TMoveAlbumArgs::TWhere::Up;
    } else if (args[1] == "down") {
        parsed.where = TMoveAlbumArgs::TWhere::Down;
    } else if (!ParseInt(args[1], parsed.position) || parsed.position < 0) {
        return std::nullopt;
    }
    return parsed;
}

int RunMoveAlbum(TProgramContext& context, const TMoveAlbumArgs& args, TCommandIo io) {
    int from = FindAlbumOrReport(context.albums, args.album, io);
    if (from < 0) return 1;
    int to = args.where == TMoveAlbumArgs::TWhere::Up     ? from - 1
             : args.where == TMoveAlbumArgs::TWhere::Down ? from + 1
                                                          : args.position;
    if (!context.albums.IsValidIndex(to)) {
        io.err << "vistrel-cli: album " << args.album << " cannot move to position " << to << " of "
               << context.albums.Count() << '\n';
        return 1;
    }
    MoveAlbum(context.albums, from, to);
    PrintAlbum(context.albums, to, io);
    return 0;
}

std::optional<TPublishMarkArgs> ParsePublishMarkArgs(const TCommandArgs& args) {
    if (args.size() != 2 || (args[1] != "on" && args[1] != "off")) return std::nullopt;
    return TPublishMarkArgs{args[0], args[1] == "on"};
}

int RunPublishMark(TProgramContext& context, const TPublishMarkArgs& args, TCommandIo io) {
    int index = FindAlbumOrReport(context.albums, args.album, io);
    if (index < 0) return 1;
    context.albums[index].Published = args.published;
    return 0;
}

std::optional<TAlbumPreviewArgs> ParseAlbumPreviewArgs(const TCommandArgs& args) {
    if (args.size() != 2) return std::nullopt;
    return TAlbumPreviewArgs{args[0], args[1]};
}

// "Bild als Vorschau für das Album verwenden": the picture's file name becomes the album's preview picture.
int RunAlbumPreview(TProgramContext& context, const TAlbumPreviewArgs& args, TCommandIo io) {
    int index = FindAlbumOrReport(context.albums, args.album, io);
    if (index < 0) return 1;
    TPictureList pictures = context.albums.LoadPictureList(index);
    int picture = FindPicture(pictures, args.picture);
    if (picture < 0) {
        io.err << "vistrel-cli: no picture " << args.picture << " in album " << args.album << '\n';
        return 1;
    }
    context.albums[index].PreviewPicture = pictures[static_cast<size_t>(picture)].FileName();
    return 0;
}

} // namespace vistrel::cli
