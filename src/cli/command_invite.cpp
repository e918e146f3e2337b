#include "cli/cli_commands.h"

#include "album_library/album_list.h"
#include "cli/cli_texts.h"
#include "common/cp1252.h"
#include "invitations/invitation.h"
#include "invitations/invitation_job.h"

#include <optional>
#include <ostream>

namespace vistrel::cli {
namespace {

// The status window on the terminal: one line per card.
class TTerminalInviteProgress : public InviteProgress {
public:
    explicit TTerminalInviteProgress(TCommandIo io) : io_(io) {}
    void ShowRecipient(int, const std::string& address) override {
        io_.out << TerminalText(cli_texts::kSendingInvitation) << AnsiToUtf8(address) << '\n' << std::flush;
    }
    void ShowClientError(const std::string& text) override { io_.err << AnsiToUtf8(text) << '\n'; }

private:
    TCommandIo io_;
};

} // namespace

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

// Does what "Einladungen verschicken..." (or with --test "Testeinladung...") does in the dialog, with
// its stored fields; --to replaces the recipient list for this run only, by the dialog's adding rules.
int RunInvite(TProgramContext& context, const TInviteArgs& args, TCommandIo io) {
    TAlbumList& albums = context.albums;
    int album = FindAlbum(albums, args.album);
    if (album < 0) {
        io.err << "vistrel-cli: no album " << args.album << '\n';
        return 1;
    }
    TPictureList pictures = albums.LoadPictureList(album);
    int picture = FindPicture(pictures, args.picture);
    if (picture < 0) {
        io.err << "vistrel-cli: no picture " << args.picture << '\n';
        return 1;
    }

    TInviteFormFields fields = context.settings.LoadInviteFields();
    if (IsBlankSetting(fields.edUrl))
        fields.edUrl = SuggestedAlbumUrl(context.settings.edFTPServer, context.settings.edFTPDirectory);
    std::vector<std::string> recipients = fields.lbAddresses;
    if (args.replaceRecipients) {
        recipients.clear();
        for (const std::string& address : args.to) {
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
    params.testInvitation = args.test;

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
