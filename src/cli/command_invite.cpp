#include "cli/cli_commands.h"

#include "album_library/album_list.h"
#include "common/cp1252.h"
#include "common/numbers.h"
#include "invitations/invitation.h"
#include "invitations/invitation_job.h"

#include <optional>
#include <ostream>

namespace vistrel::cli {
namespace {

struct TInviteArgs {
    std::string album;
    std::string picture;
    bool test = false;
    bool replaceRecipients = false;
    std::vector<std::string> to;
};

std::optional<TInviteArgs> ParseInviteArgs(const TCommandArgs& args) {
    TInviteArgs parsed;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--test") {
            parsed.test = true;
        } else if (args[i] == "--to" && i + 1 < args.size()) {
            parsed.replaceRecipients = true;
            parsed.to.push_back(args[++i]);
        } else if (args[i].rfind("--", 0) == 0) {
            return std::nullopt;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) return std::nullopt;
    parsed.album = positional[0];
    parsed.picture = positional[1];
    return parsed;
}

// A name (without regard to case) or else a 0-based index; -1 when it names nothing.
template <typename NameOf> int FindByNameOrIndex(int count, const std::string& argument, NameOf nameOf) {
    std::string name = Utf8ToAnsi(argument);
    for (int i = 0; i < count; ++i)
        if (AnsiSameText(nameOf(i), name)) return i;
    int index = -1;
    return ParseInt(argument, index) && index >= 0 && index < count ? index : -1;
}

// The status window on the terminal: one line per card.
class TTerminalInviteProgress : public InviteProgress {
public:
    explicit TTerminalInviteProgress(TCommandIo io) : io_(io) {}
    void ShowRecipient(int, const std::string& address) override {
        io_.out << AnsiToUtf8(Utf8ToAnsi("Einladung wird verschickt an: ")) << AnsiToUtf8(address) << '\n'
                << std::flush;
    }
    void ShowClientError(const std::string& text) override { io_.err << AnsiToUtf8(text) << '\n'; }

private:
    TCommandIo io_;
};

} // namespace

// Does what "Einladungen verschicken..." (or with --test "Testeinladung...") does in the dialog, with
// its stored fields; --to replaces the recipient list for this run only, by the dialog's adding rules.
int RunInviteCommand(TProgramContext& context, const TCommandArgs& args, TCommandIo io) {
    auto parsed = ParseInviteArgs(args);
    if (!parsed) return 2;
    TAlbumList& albums = context.albums;
    int album = FindByNameOrIndex(albums.Count(), parsed->album, [&](int i) { return albums[i].FolderName; });
    if (album < 0) {
        io.err << "vistrel-cli: no album " << parsed->album << '\n';
        return 1;
    }
    TPictureList pictures = albums.LoadPictureList(album);
    int picture = FindByNameOrIndex(static_cast<int>(pictures.size()), parsed->picture,
                                    [&](int i) { return pictures[static_cast<size_t>(i)].FileName(); });
    if (picture < 0) {
        io.err << "vistrel-cli: no picture " << parsed->picture << '\n';
        return 1;
    }

    TInviteFormFields fields = context.settings.LoadInviteFields();
    if (IsBlankSetting(fields.edUrl))
        fields.edUrl = SuggestedAlbumUrl(context.settings.edFTPServer, context.settings.edFTPDirectory);
    std::vector<std::string> recipients = fields.lbAddresses;
    if (parsed->replaceRecipients) {
        recipients.clear();
        for (const std::string& address : parsed->to) {
            std::string ansi = Utf8ToAnsi(address);
            TAddRecipient added = AddRecipient(recipients, ansi);
            if (added == TAddRecipient::Added) continue;
            io.err << AnsiToUtf8(AddRecipientMessage(added, ansi)) << '\n';
            return 1;
        }
    }

    TInvitationParams params;
    params.serviceHost = EffectiveServiceHost(fields.ServiceHost, fields.edUrl);
    params.sender = fields.edSender;
    params.text = CutText(fields.edText);
    params.albumUrl = fields.edUrl;
    params.albumPath = WebSafeName(albums[album].FolderName);
    params.pictureName = pictures[static_cast<size_t>(picture)].FileName();
    params.galleryEmail = context.settings.edEmail;
    params.recipients = recipients;
    params.testInvitation = parsed->test;

    THttpClient client;
    TInvitationJob job(client);
    TTerminalInviteProgress progress(io);
    TInviteResult result = job.Run(params, progress);
    std::string message = AnsiToUtf8(InviteMessage(result, params));
    (result.Ok() ? io.out : io.err) << message << '\n';
    if (!result.detail.empty()) io.err << "vistrel-cli: " << AnsiToUtf8(result.detail) << '\n';
    return result.Ok() ? 0 : 1;
}

} // namespace vistrel::cli
