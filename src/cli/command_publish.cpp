#include "cli/cli_commands.h"

#include "cli/terminal_progress.h"
#include "common/cp1252.h"
#include "publishing/publish_job.h"
#include "publishing/publish_texts.h"

#include <iostream>
#include <ostream>
#include <termios.h>
#include <unistd.h>

namespace vistrel::cli {
namespace {

// The protocol window on stdout; the password prompt on the terminal, without echo.
class TTerminalPublishView : public PublishView {
public:
    explicit TTerminalPublishView(std::ostream& out) : out_(out) {}
    void Log(const std::string& line) override { out_ << AnsiToUtf8(line) << '\n' << std::flush; }

    std::optional<std::string> AskPassword() override {
        if (!::isatty(STDIN_FILENO)) return std::nullopt;
        std::cerr << AnsiToUtf8(Utf8ToAnsi("Passwort für den FTP-Server: ")) << std::flush;
        termios saved{};
        bool restore = ::tcgetattr(STDIN_FILENO, &saved) == 0;
        if (restore) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
        }
        std::string line;
        bool read = static_cast<bool>(std::getline(std::cin, line));
        if (restore) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::cerr << '\n';
        if (!read) return std::nullopt;
        return Utf8ToAnsi(line);
    }

private:
    std::ostream& out_;
};

} // namespace

std::optional<TPublishArgs> ParsePublishArgs(const TCommandArgs& args) {
    TPublishArgs parsed;
    for (const std::string& arg : args) {
        if (arg == "--transfer-all")
            parsed.transferAll = true;
        else if (arg == "--delete-all")
            parsed.deleteAll = true;
        else
            return std::nullopt;
    }
    return parsed;
}

// Generates the site as F10 does and publishes it with the settings of vistrel.ini.
int RunPublish(TProgramContext& context, const TPublishArgs& args, TCommandIo io) {
    if (!BuildSiteFor(context, TSiteMode::Publish, AnsiToUtf8(Utf8ToAnsi(publish_texts::kNoAlbum)), io))
        return 1;

    TFtpClient client;
    TTerminalPublishView view(io.out);
    TPublishJob job(client, context.prompts, view);
    TPublishParams params;
    TakeSettings(params, context.settings);
    // The album list is part of the site: the server gets the one of this run, publish marks included.
    context.albums.SaveAlbumList();
    params.plan = BuildUploadPlan(context.albums);
    params.transferListFile = context.folders.TransferList();
    job.Prepare(params);
    params.transferAll = args.transferAll;
    params.deleteAll = args.deleteAll;
    try {
        TPublishResult result = job.Run(params);
        // The closing line comes last, after the whole protocol.
        std::string closing = PublishMessage(result, client.HostName, job.FRemoteRoot);
        if (!result.Ok() && !closing.empty()) io.err << AnsiToUtf8(closing) << '\n';
        return result.Ok() ? 0 : 1;
    } catch (const std::exception& error) {
        io.err << "vistrel-cli: publish failed: " << error.what() << '\n';
        return 1;
    }
}

} // namespace vistrel::cli
