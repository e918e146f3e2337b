#include "cli/cli_options.h"

namespace vistrel::cli {

const char* const kUsage =
    "usage: vistrel-cli [--program-folder DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  albums [--json]        list the albums: index, folder, published, pictures, title\n"
    "  import ALBUM FILE...   import pictures into an album (folder name or 0-based index)\n"
    "  build-site             generate the site as for the preview; prints the start page\n"
    "  cdrom TARGET           generate the site and assemble it for a CD-ROM in TARGET\n"
    "  edit ALBUM PICTURE OPERATION...\n"
    "                         change a picture as the editor does and write it back (PICTURE: file\n"
    "                         name or 0-based index); OPERATION: rotate-right, rotate-left, mirror,\n"
    "                         flip, brighter, darker, more-contrast, less-contrast, gamma=V (0,1..7,0),\n"
    "                         brilliance, sharpen, soften, black-white, undo\n"
    "  publish [--transfer-all] [--delete-all] [--trust-certificate HEX] [--allow-unencrypted]\n"
    "          [--trust-host-key SHA256:...]\n"
    "                         generate the site and upload what changed by FTP, FTPS or SFTP\n"
    "                         (vistrel.ini); --allow-unencrypted uses a server that offers no FTPS\n"
    "                         in clear; a key's passphrase is read from the terminal or stdin\n"
    "  invite ALBUM PICTURE [--test] [--to ADDRESS]...\n"
    "                         send e-card invitations for a picture (folder/file name or index)\n"
    "  scan ALBUM NAME [--device NAME] [--option NAME=VALUE]... | scan --list\n"
    "                         scan into an album under NAME (.jpg), or list the scanner devices\n"
    "  new-album TITLE [--info TEXT] [--text TEXT]\n"
    "                         create an album as \"Neues Album...\" does; prints index and folder\n"
    "  edit-album ALBUM [--title TEXT] [--info TEXT] [--text TEXT]\n"
    "                         change an album's fields; a new title renames its folder\n"
    "  delete-album ALBUM     move an album's folder to the trash\n"
    "  move-album ALBUM up|down|POSITION\n"
    "                         move an album in the list (POSITION 0-based)\n"
    "  publish-mark ALBUM on|off\n"
    "                         set or clear the mark that makes an album part of the site\n"
    "  album-preview ALBUM PICTURE\n"
    "                         use a picture as the album's preview picture\n"
    "  pictures ALBUM [--json]\n"
    "                         list the pictures: index, file name, title, text (TAB separated)\n"
    "  delete-pictures ALBUM PICTURE...\n"
    "                         delete pictures with their files\n"
    "  rotate ALBUM PICTURE left|right\n"
    "                         turn a picture by 90 degrees and rebuild its thumbnail\n"
    "  picture-info ALBUM PICTURE [--title TEXT] [--text TEXT]\n"
    "                         change a picture's title and text\n"
    "  copy-pictures SOURCE-ALBUM PICTURE... TARGET-ALBUM\n"
    "                         copy pictures to the end of another album (free names)\n"
    "  move-pictures SOURCE-ALBUM PICTURE... TARGET-ALBUM\n"
    "                         move pictures to the end of another album (free names)\n"
    "  settings [--json] | settings get KEY | settings set KEY VALUE | settings set-password\n"
    "                         show or change the settings by their keys (edFTPServer, ...);\n"
    "                         flags True/False, line breaks as \\n; set-password reads the\n"
    "                         FTP password from standard input\n"
    "  styles [--json]        list the styles, the current one marked with *\n"
    "  style NAME             choose the style for the site\n"
    "\n"
    "TEXT is UTF-8; \\n in a text is a line break. Listing commands take --json; every command\n"
    "takes --help. Exit codes: 0 success, 1 failure (message on stderr), 2 usage.\n";

std::string CommandUsage(const std::string& command) {
    std::string usage = kUsage;
    std::string lines;
    bool inCommand = false;
    for (size_t start = 0, end; start < usage.size(); start = end + 1) {
        end = usage.find('\n', start);
        if (end == std::string::npos) end = usage.size();
        std::string line = usage.substr(start, end - start);
        bool continuation = line.rfind("    ", 0) == 0;
        if (!continuation) {
            std::string head = "  " + command;
            inCommand = line.rfind(head, 0) == 0 && (line.size() == head.size() || line[head.size()] == ' ');
        }
        if (inCommand) lines += line + '\n';
    }
    return lines;
}

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
