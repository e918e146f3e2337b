#include "cli/cli_options.h"

namespace vistrel::cli {

const char* const kUsage =
    "usage: vistrel-cli [--program-folder DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  albums                 list the albums: index, folder, published, pictures, title\n"
    "  import ALBUM FILE...   import pictures into an album (folder name or 0-based index)\n"
    "  build-site             generate the site as for the preview; prints the start page\n"
    "  cdrom TARGET           generate the site and assemble it for a CD-ROM in TARGET\n"
    "  edit ALBUM PICTURE OPERATION...\n"
    "                         change a picture as the editor does and write it back (PICTURE: file\n"
    "                         name or 0-based index); OPERATION: rotate-right, rotate-left, mirror,\n"
    "                         flip, brighter, darker, more-contrast, less-contrast, gamma=V (0,1..7,0),\n"
    "                         brilliance, sharpen, soften, black-white, undo\n"
    "  publish [--transfer-all] [--delete-all]\n"
    "                         generate the site and upload what changed by FTP (vistrel.ini)\n"
    "  invite ALBUM PICTURE [--test] [--to ADDRESS]...\n"
    "                         send e-card invitations for a picture (folder/file name or index)\n"
    "  scan ALBUM NAME [--device NAME] [--option NAME=VALUE]... | scan --list\n"
    "                         scan into an album under NAME (.jpg), or list the scanner devices\n";

std::optional<TCliOptions> ParseCommandLine(const std::vector<std::string>& args) {
    TCliOptions options;
    size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0 && args[i] != "--help") {
        if (args[i] == "--program-folder" && i + 1 < args.size()) {
            options.programFolder = args[i + 1];
            i += 2;
        } else if (args[i].rfind("--program-folder=", 0) == 0) {
            options.programFolder = args[i].substr(17);
            ++i;
        } else {
            return std::nullopt;
        }
    }
    if (i >= args.size()) return std::nullopt;
    options.command = args[i++];
    options.arguments.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return options;
}

} // namespace vistrel::cli
