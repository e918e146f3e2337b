#pragma once
// The rules of the invitation dialog that do not need a window: the recipient list and its checks,
// the text limit, the album address and the request URL with its encoding. All text is
// Windows-1252 bytes, so the URL encoding works on the bytes the service receives.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

inline constexpr size_t kMaxRecipients = 50;
inline constexpr size_t kMaxTextLength = 1000;
inline constexpr const char* kServicePath = "/cgi-bin/sendpostcard.pl";
inline constexpr const char* kInviteSubject = "Sie haben eine Postkarte erhalten!";

// Byte by byte: letters, digits and !$'()*-._@ stay, a blank becomes "+", every other byte "%xx"
// with two lower-case hexadecimal digits.
std::string UrlEncode(std::string_view text);

// Contains "@" and, after the first "@", at least one ".".
bool IsValidEmailAddress(const std::string& address);

// A setting that counts as not filled in: empty, or its first character is below "!".
bool IsBlankSetting(const std::string& value);

enum class TAddRecipient { Added, ListFull, Invalid, Duplicate };
// "Hinzufügen": appends the address unless the list is full, the address is not valid or the list
// holds it already (compared without regard to case). An empty address is never passed.
TAddRecipient AddRecipient(std::vector<std::string>& list, const std::string& address);
// The message for a refused address (Windows-1252); empty for Added.
std::string AddRecipientMessage(TAddRecipient result, const std::string& address);

// The text as the limit counts it: every line followed by CR LF.
size_t TextLength(const std::vector<std::string>& lines);
// The lines of the first `limit` characters of that text. A cut between CR and LF drops the CR.
std::vector<std::string> CutText(const std::vector<std::string>& lines, size_t limit = kMaxTextLength);

// "http://" + edFTPServer + "/" + edFTPDirectory without one leading and one trailing "/".
std::string SuggestedAlbumUrl(const std::string& ftpServer, const std::string& ftpDirectory);
std::string AlbumUrlWithSlash(std::string url);

// The service host the requests go to: the stored "host" or "host:port" when it is usable, else the
// host (and port) of the album address, where the help tells users to install the service script.
std::string EffectiveServiceHost(const std::string& storedHost, const std::string& albumUrl);
// A "host" or "host:port" that can stand in a URL: no blank, no control character, none of "/?#@\",
// a port of 1 to 65535 digits when given.
bool IsUsableServiceHost(const std::string& host);

// Everything one request carries.
struct TInvitationRequest {
    std::string serviceHost;
    std::string sender; // edSender
    std::string recipient;
    std::vector<std::string> text; // edText, joined by CR LF without one after the last line
    std::string albumUrl;          // edUrl, ending in "/"
    std::string albumPath;         // WebSafeName of the album's folder name
    std::string pictureName;       // the picture's file name as stored
    std::string galleryEmail;      // setting edEmail
};
std::string BuildRequestUrl(const TInvitationRequest& request);

} // namespace vistrel
