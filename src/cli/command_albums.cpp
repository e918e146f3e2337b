#include "cli/cli_commands.h"

#include "common/cp1252.h"

#include <ostream>

namespace vistrel::cli {

int RunAlbumsCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io) {
    if (!args.empty()) return 2;
    const TAlbumList& albums = context.albums;
    for (int i = 0; i < albums.Count(); ++i) {
        const TAlbumEntry& album = albums[i];
        io.out << i << '\t' << AnsiToUtf8(album.FolderName) << '\t' << (album.Published ? "true" : "false")
               << '\t' << albums.LoadPictureList(i).size() << '\t' << AnsiToUtf8(album.Title) << '\n';
    }
    return 0;
}

} // namespace vistrel::cli
