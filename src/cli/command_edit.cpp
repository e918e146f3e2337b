#include "cli/cli_commands.h"

#include "album_library/picture_files.h"
#include "common/cp1252.h"
#include "image_processing/edit_session.h"
#include "image_processing/edit_write_back.h"

#include <map>
#include <ostream>
#include <variant>

namespace vistrel::cli {

namespace {

struct TUndoStep {};
struct TGammaStep {
    double value;
};
using TEditStep = std::variant<TEditAction, TGammaStep, TUndoStep>;

const std::map<std::string, TEditAction>& ActionNames() {
    static const std::map<std::string, TEditAction> names = {
        {"rotate-right", TEditAction::actRotateLeft}, // "&Rechts 90°" carries the crossed name
        {"rotate-left", TEditAction::actRotateRight},
        {"mirror", TEditAction::actMirror},
        {"flip", TEditAction::actFlip},
        {"brighter", TEditAction::actBrighter},
        {"darker", TEditAction::actDarker},
        {"more-contrast", TEditAction::actContrastIncrease},
        {"less-contrast", TEditAction::actContrastDecrease},
        {"brilliance", TEditAction::actQuick},
        {"sharpen", TEditAction::actSharpen},
        {"soften", TEditAction::actSoften},
        {"black-white", TEditAction::actBlackWhite},
    };
    return names;
}

// "gamma=V" gives what the gamma dialog gives after "Ok": the track bar's position for V, over 10.
std::optional<TEditStep> ParseStep(const std::string& word) {
    if (word == "undo") return TUndoStep{};
    if (auto action = ActionNames().find(word); action != ActionNames().end()) return action->second;
    if (word.rfind("gamma=", 0) != 0) return std::nullopt;
    std::string value = word.substr(6);
    for (char& c : value)
        if (c == ',') c = '.';
    std::optional<int> position = GammaTrackPosition(value, '.');
    if (!position) return std::nullopt;
    return TGammaStep{*position / 10.0};
}

void RunStep(TEditSession& session, const TEditStep& step) {
    if (const auto* action = std::get_if<TEditAction>(&step))
        session.Apply(*action);
    else if (const auto* gamma = std::get_if<TGammaStep>(&step))
        session.ApplyGamma(gamma->value);
    else
        session.Undo();
}

} // namespace

std::optional<TEditArgs> ParseEditArgs(const TCommandArgs& args) {
    if (args.size() < 3) return std::nullopt;
    TEditArgs parsed{args[0], args[1], {args.begin() + 2, args.end()}};
    for (const std::string& operation : parsed.operations)
        if (!ParseStep(operation)) return std::nullopt;
    return parsed;
}

// Does what the picture editor does with the named changes, then writes the picture and its
// thumbnail back as "Änderungen übernehmen" does.
int RunEdit(TProgramContext& context, const TEditArgs& args, TCommandIo io) {
    std::vector<TEditStep> steps;
    for (const std::string& operation : args.operations)
        steps.push_back(*ParseStep(operation));
    int album = FindAlbum(context.albums, args.album);
    if (album < 0) {
        io.err << "vistrel-cli: no album " << args.album << '\n';
        return 1;
    }
    TPictureList pictures = context.albums.LoadPictureList(album);
    int picture = FindPicture(pictures, args.picture);
    std::filesystem::path path;
    if (picture >= 0)
        path = context.albums.ImagesPath(album) / pictures[static_cast<size_t>(picture)].FileName();
    std::error_code ec;
    if (picture < 0 || !std::filesystem::is_regular_file(path, ec)) {
        io.err << "vistrel-cli: no picture " << args.picture << " in album " << args.album << '\n';
        return 1;
    }
    TEditSession session(context.prompts);
    try {
        session.LoadPicture(path);
        for (const TEditStep& step : steps)
            RunStep(session, step);
    } catch (const std::exception& error) {
        io.err << "vistrel-cli: " << error.what() << '\n';
        return 1;
    }
    if (!session.Modified()) return 0;
    TWriteBackParams params =
        EditWriteBackParams(context.albums.Layout(album), pictures[static_cast<size_t>(picture)].FileName(),
                            session.Picture(), session.Changes());
    WriteBackProgress progress;
    TDibGraphic thumbnail;
    TWriteBackResult result = WriteBackEditedPicture(params, progress, thumbnail);
    if (!result.Ok()) {
        io.err << AnsiToUtf8(WriteBackMessage(result, params)) << '\n';
        if (!result.detail.empty()) io.err << result.detail << '\n';
        return 1;
    }
    io.out << WrittenPicturePath(params).string() << '\n' << WrittenThumbnailPath(params).string() << '\n';
    return 0;
}

} // namespace vistrel::cli
