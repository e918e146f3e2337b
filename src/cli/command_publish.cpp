#include "cli/cli_commands.h"

#include "cli/terminal_progress.h"
#include "common/cp1252.h"
#include "common/german_text.h"
#include "common/text_utils.h"
#include "publishing/publish_job.h"
#include "publishing/publish_texts.h"

#include <cctype>
#include <iostream>
#include <ostream>
#include <termios.h>
#include <unistd.h>

namespace vistrel::cli {
namespace {

// The protocol window on stdout; the password prompt on the terminal, without echo.
class TTerminalPublishView : public PublishView {
public:
    TTerminalPublishView(TCommandIo io, TProgramSettings& settings, const TPublishArgs& args)
        : out_(io.out), err_(io.err), settings_(settings), trusted_(args.trustCertificate),
          allowUnencrypted_(args.allowUnencrypted), trustedHostKey_(args.trustHostKey) {}

    // A server without encryption is used only with --allow-unencrypted (for this run); otherwise
    // the question goes to stderr and the run ends before the password is sent.
    bool AllowUnencrypted(const std::string& hostPort) override {
        if (allowUnencrypted_) return true;
        err_ << AnsiToUtf8(FormatMessage(Text(publish_texts::kAskUnencrypted), {hostPort})) << '\n'
             << "vistrel-cli publish --allow-unencrypted\n";
        return false;
    }

    // The same for a host key, new or changed: only the one --trust-host-key names; the SFTP
    // session then files it in known_hosts.
    bool TrustHostKey(const std::string&, const std::string&, const std::string& fingerprint,
                      const std::string&) override {
        return !trustedHostKey_.empty() && fingerprint == trustedHostKey_;
    }

    // On a terminal without echo; otherwise the first line of standard input, so that a script
    // can pipe it in. It is never stored. Passphrases stay UTF-8, as ssh-keygen took them.
    std::optional<std::string> AskPassphrase(const std::string& keyFile) override {
        return ReadSecret(FormatMessage(Text(publish_texts::kPassphraseFor), {keyFile}) + " ", true);
    }

    // Never trusts an unknown certificate by itself: only the one --trust-certificate names, which
    // is then stored like the dialog's "Ja".
    bool TrustCertificate(const std::string& hostPort, const std::string& fingerprint,
                          const std::string&) override {
        if (trusted_.empty() || fingerprint != trusted_) return false;
        settings_.StoreTrustedCertificate(hostPort, fingerprint);
        return true;
    }
    void Log(const std::string& line) override { out_ << AnsiToUtf8(line) << '\n' << std::flush; }

    std::optional<std::string> AskPassword() override {
        auto typed = ReadSecret("Passwort für den FTP-Server: ", false);
        if (!typed) return std::nullopt;
        return Utf8ToAnsi(*typed);
    }

private:
    // The line as typed (UTF-8); on a terminal without echo, otherwise only when `fromPipe`.
    static std::optional<std::string> ReadSecret(const std::string& prompt, bool fromPipe) {
        if (!::isatty(STDIN_FILENO)) {
            std::string line;
            if (!fromPipe || !std::getline(std::cin, line)) return std::nullopt;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        std::cerr << prompt << std::flush;
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
        return line;
    }

    std::ostream& out_;
    std::ostream& err_;
    TProgramSettings& settings_;
    std::string trusted_;
    bool allowUnencrypted_;
    std::string trustedHostKey_;
};

// "SHA256:" and 43 characters of unpadded base64, as ssh-keygen -l prints it.
bool ParseHostKeyFingerprint(const std::string& text, std::string& fingerprint) {
    const std::string prefix = "SHA256:";
    if (text.size() != prefix.size() + 43 || text.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '/') return false;
    }
    fingerprint = text;
    return true;
}

// 64 hex digits, given in either case; kept in upper case.
bool ParseFingerprint(std::string text, std::string& fingerprint) {
    if (text.size() != 64) return false;
    for (char& c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    fingerprint = text;
    return true;
}

} // namespace

// Arguments: --transfer-all, --delete-all, --trust-certificate HEX (trust the server certificate
// with this SHA-256 fingerprint; it is then stored), --allow-unencrypted (use a server that offers
// no encryption although FTPS is chosen), --trust-host-key SHA256:... (trust the SFTP server's host
// key with this fingerprint, new or changed; it is then filed in known_hosts).
std::optional<TPublishArgs> ParsePublishArgs(const TCommandArgs& args) {
    TPublishArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--transfer-all")
            parsed.transferAll = true;
        else if (arg == "--delete-all")
            parsed.deleteAll = true;
        else if (arg == "--allow-unencrypted")
            parsed.allowUnencrypted = true;
        else if (arg == "--trust-certificate" && i + 1 < args.size() &&
                 ParseFingerprint(args[i + 1], parsed.trustCertificate))
            ++i;
        else if (arg == "--trust-host-key" && i + 1 < args.size() &&
                 ParseHostKeyFingerprint(args[i + 1], parsed.trustHostKey))
            ++i;
        else
            return std::nullopt;
    }
    return parsed;
}

// Generates the site as F10 does and publishes it with the settings of vistrel.ini.
int RunPublish(TProgramContext& context, const TPublishArgs& args, TCommandIo io) {
    if (!BuildSiteFor(context, TSiteMode::Publish, publish_texts::kNoAlbum, io)) return 1;

    TTerminalPublishView view(io, context.settings, args);
    TPublishJob job(context.prompts, view);
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
        std::string closing = PublishMessage(result, job.HostName(), job.RemoteRoot());
        if (result.code == TPublishCode::CertificateRejected)
            io.err << "vistrel-cli publish --trust-certificate " << result.detail << '\n';
        if (result.code == TPublishCode::HostKeyRejected || result.code == TPublishCode::HostKeyChanged)
            io.err << "vistrel-cli publish --trust-host-key "
                   << result.detail.substr(result.detail.rfind(' ') + 1) << '\n';
        if (!result.Ok() && !closing.empty()) io.err << AnsiToUtf8(closing) << '\n';
        return result.Ok() ? 0 : 1;
    } catch (const std::exception& error) {
        io.err << "vistrel-cli: publish failed: " << error.what() << '\n';
        return 1;
    }
}

} // namespace vistrel::cli
