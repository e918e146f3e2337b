#include "cli/cli_commands.h"

#include "common/cp1252.h"

#include <ostream>

namespace vistrel::cli {

std::optional<TAlbumsArgs> ParseAlbumsArgs(const TCommandArgs& args) {
    if (!args.empty()) return std::nullopt;
    return TAlbumsArgs{};
}

int RunAlbums(TProgramContext& context, const TAlbumsArgs&, TCommandIo io) {
    const TAlbumList& albums = context.albums;
    for (int i = 0; i < albums.Count(); ++i) {
        const TAlbumEntry& album = albums[i];
        io.out << i << '\t' << AnsiToUtf8(album.FolderName) << '\t' << (album.Published ? "true" : "false")
               << '\t' << albums.LoadPictureList(i).size() << '\t' << AnsiToUtf8(album.Title) << '\n';
    }
    return 0;
}

} // namespace vistrel::cli
