#include "cli/cli_commands.h"

#include "common/cp1252.h"

#include <ostream>

namespace vistrel::cli {
namespace {

int PrintAlbumsJson(const TAlbumList& albums, TCommandIo io) {
    io.out << "[";
    for (int i = 0; i < albums.Count(); ++i) {
        const TAlbumEntry& album = albums[i];
        io.out << (i ? ",\n " : "\n ") << "{\"index\": " << i
               << ", \"folder\": " << JsonString(AnsiToUtf8(album.FolderName))
               << ", \"published\": " << (album.Published ? "true" : "false")
               << ", \"pictures\": " << albums.LoadPictureList(i).size()
               << ", \"title\": " << JsonString(AnsiToUtf8(album.Title))
               << ", \"info\": " << JsonString(AnsiToUtf8(album.Info))
               << ", \"text\": " << JsonString(AnsiToUtf8(album.Text))
               << ", \"preview\": " << JsonString(AnsiToUtf8(album.PreviewPicture)) << "}";
    }
    io.out << (albums.Count() ? "\n]\n" : "]\n");
    return 0;
}

} // namespace

std::optional<TAlbumsArgs> ParseAlbumsArgs(const TCommandArgs& args) {
    if (args.empty()) return TAlbumsArgs{};
    if (args.size() == 1 && args[0] == "--json") return TAlbumsArgs{true};
    return std::nullopt;
}

int RunAlbums(TProgramContext& context, const TAlbumsArgs& args, TCommandIo io) {
    const TAlbumList& albums = context.albums;
    if (args.json) return PrintAlbumsJson(albums, io);
    for (int i = 0; i < albums.Count(); ++i) {
        const TAlbumEntry& album = albums[i];
        io.out << i << '\t' << AnsiToUtf8(album.FolderName) << '\t' << (album.Published ? "true" : "false")
               << '\t' << albums.LoadPictureList(i).size() << '\t' << AnsiToUtf8(album.Title) << '\n';
    }
    return 0;
}

} // namespace vistrel::cli
