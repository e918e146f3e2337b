// The picture commands of the main window: list, delete, turn, describe, copy and move between albums.
#include "cli/cli_commands.h"

#include "album_library/album_operations.h"
#include "album_library/picture_files.h"
#include "common/cp1252.h"

#include <algorithm>
#include <ostream>

namespace vistrel::cli {
namespace {

// The pictures of one album, loaded for a command that names some of them.
struct TNamedPictures {
    int album = -1;
    TPictureList pictures;
    std::vector<int> selected; // in the order named, without repeats
};

std::optional<TNamedPictures> FindPictures(TProgramContext& context, const std::string& album,
                                           const std::vector<std::string>& names, TCommandIo io) {
    TNamedPictures found;
    found.album = FindAlbumOrReport(context.albums, album, io);
    if (found.album < 0) return std::nullopt;
    found.pictures = context.albums.LoadPictureList(found.album);
    for (const std::string& name : names) {
        int picture = FindPicture(found.pictures, name);
        if (picture < 0) {
            io.err << "vistrel-cli: no picture " << name << " in album " << album << '\n';
            return std::nullopt;
        }
        if (std::find(found.selected.begin(), found.selected.end(), picture) == found.selected.end())
            found.selected.push_back(picture);
    }
    return found;
}

} // namespace

std::optional<TPicturesArgs> ParsePicturesArgs(const TCommandArgs& args) {
    auto split = SplitArgs(args, {}, {"--json"});
    if (!split || split->words.size() != 1) return std::nullopt;
    return TPicturesArgs{split->words[0], split->flags.count("--json") > 0};
}

int RunPictures(TProgramContext& context, const TPicturesArgs& args, TCommandIo io) {
    int album = FindAlbumOrReport(context.albums, args.album, io);
    if (album < 0) return 1;
    TPictureList pictures = context.albums.LoadPictureList(album);
    if (args.json) io.out << "[";
    for (size_t i = 0; i < pictures.size(); ++i) {
        const TPictureEntry& picture = pictures[i];
        if (args.json) {
            io.out << (i ? ",\n " : "\n ") << "{\"index\": " << i
                   << ", \"file\": " << JsonString(AnsiToUtf8(picture.FileName()))
                   << ", \"title\": " << JsonString(AnsiToUtf8(picture.Title()))
                   << ", \"text\": " << JsonString(AnsiToUtf8(picture.Text())) << "}";
        } else {
            io.out << i << '\t' << AnsiToUtf8(EscapeLine(picture.FileName())) << '\t'
                   << AnsiToUtf8(EscapeLine(picture.Title())) << '\t'
                   << AnsiToUtf8(EscapeLine(picture.Text())) << '\n';
        }
    }
    if (args.json) io.out << (pictures.empty() ? "]\n" : "\n]\n");
    return 0;
}

std::optional<TDeletePicturesArgs> ParseDeletePicturesArgs(const TCommandArgs& args) {
    if (args.size() < 2) return std::nullopt;
    return TDeletePicturesArgs{args[0], {args.begin() + 1, args.end()}};
}

// "Bild löschen": the files go, then the entries. The window's question is not asked: naming the
// pictures on the command line is the answer.
int RunDeletePictures(TProgramContext& context, const TDeletePicturesArgs& args, TCommandIo io) {
    auto found = FindPictures(context, args.album, args.pictures, io);
    if (!found) return 1;
    context.albums.SetCurrent(found->album);
    std::vector<int> selected = found->selected;
    std::sort(selected.begin(), selected.end());
    for (int index : selected)
        context.albums.DeletePictureFiles(found->pictures[static_cast<size_t>(index)].FileName());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        found->pictures.erase(found->pictures.begin() + *it);
    return context.albums.SavePictureList(found->album, found->pictures) ? 0 : 1;
}

std::optional<TRotateArgs> ParseRotateArgs(const TCommandArgs& args) {
    if (args.size() != 3 || (args[2] != "left" && args[2] != "right")) return std::nullopt;
    return TRotateArgs{args[0], args[1], args[2] == "left" ? -90.0 : 90.0};
}

int RunRotate(TProgramContext& context, const TRotateArgs& args, TCommandIo io) {
    auto found = FindPictures(context, args.album, {args.picture}, io);
    if (!found) return 1;
    const std::string& name = found->pictures[static_cast<size_t>(found->selected[0])].FileName();
    try {
        RotatePictureFile(context.albums.Layout(found->album), name, args.degrees);
    } catch (const std::exception& error) {
        io.err << AnsiToUtf8(RotateFailureMessage(name, error.what())) << '\n';
        return 1;
    }
    return 0;
}

std::optional<TPictureInfoArgs> ParsePictureInfoArgs(const TCommandArgs& args) {
    auto split = SplitArgs(args, {"--title", "--text"});
    if (!split || split->words.size() != 2 || split->values.empty()) return std::nullopt;
    TPictureInfoArgs parsed;
    parsed.album = split->words[0];
    parsed.picture = split->words[1];
    if (auto title = split->values.find("--title"); title != split->values.end())
        parsed.title = Utf8ToAnsi(title->second);
    if (auto text = split->values.find("--text"); text != split->values.end())
        parsed.text = UnescapeLine(Utf8ToAnsi(text->second));
    return parsed;
}

int RunPictureInfo(TProgramContext& context, const TPictureInfoArgs& args, TCommandIo io) {
    auto found = FindPictures(context, args.album, {args.picture}, io);
    if (!found) return 1;
    TPictureEntry& entry = found->pictures[static_cast<size_t>(found->selected[0])];
    SetPictureInfo(entry, args.title.value_or(entry.Title()), args.text.value_or(entry.Text()));
    return context.albums.SavePictureList(found->album, found->pictures) ? 0 : 1;
}

namespace {

std::optional<TTransferPicturesArgs> ParseTransferArgs(const TCommandArgs& args, bool cut) {
    if (args.size() < 3) return std::nullopt;
    return TTransferPicturesArgs{cut, args.front(), {args.begin() + 1, args.end() - 1}, args.back()};
}

} // namespace

std::optional<TTransferPicturesArgs> ParseCopyPicturesArgs(const TCommandArgs& args) {
    return ParseTransferArgs(args, false);
}

std::optional<TTransferPicturesArgs> ParseMovePicturesArgs(const TCommandArgs& args) {
    return ParseTransferArgs(args, true);
}

// "Kopieren" or "Ausschneiden" in the source album, then "Einfügen" in the target album with no
// picture selected: the pictures are appended under free names, a cut removes them from the source.
int RunTransferPictures(TProgramContext& context, const TTransferPicturesArgs& args, TCommandIo io) {
    auto found = FindPictures(context, args.source, args.pictures, io);
    if (!found) return 1;
    int target = FindAlbumOrReport(context.albums, args.target, io);
    if (target < 0) return 1;
    if (args.cut && target == found->album) {
        io.err << "vistrel-cli: pictures are moved to another album; " << args.target << " is the source\n";
        return 1;
    }
    TPictureClipboard clipboard;
    context.albums.SetCurrent(found->album);
    CopyToClipboard(clipboard, context.albums, found->pictures, found->selected,
                    args.cut ? TClipboardMode::Cut : TClipboardMode::Copy);
    context.albums.SetCurrent(target);
    TPictureList pictures = context.albums.LoadPictureList(target);
    TPasteResult result = PastePictures(context.albums, target, pictures, clipboard, std::nullopt);
    // Without a target position the window keeps the appended entries open until the album closes.
    if (!context.albums.SavePictureList(target, pictures)) return 1;
    for (int index : result.appended)
        io.out << index << '\t' << AnsiToUtf8(pictures[static_cast<size_t>(index)].FileName()) << '\n';
    return 0;
}

} // namespace vistrel::cli
