#pragma once
// vistrel-cli's own German texts, and the one way every catalogue text (this one and those of the
// subsystems) reaches the terminal.
#include <string_view>

namespace vistrel::cli_texts {

inline constexpr const char* kErrorPrefix = "Fehler: ";
inline constexpr const char* kPasswordPrompt = "FTP-Passwort: ";
inline constexpr const char* kScanPage = "Seite ";
inline constexpr const char* kSendingInvitation = "Einladung wird verschickt an: ";

} // namespace vistrel::cli_texts

namespace vistrel::cli {

// A catalogue text as the terminal shows it. Catalogues are written in UTF-8, the terminal's code, so
// the text goes out as written, without a trip through Windows-1252; texts the logic hands out
// (Windows-1252 bytes) go through AnsiToUtf8 instead.
inline std::string_view TerminalText(const char* catalogueText) {
    return catalogueText;
}

} // namespace vistrel::cli
