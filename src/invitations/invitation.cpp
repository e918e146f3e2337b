#include "invitations/invitation.h"

#include "common/cp1252.h"
#include "common/text_utils.h"
#include "invitations/http_client.h"
#include "invitations/invite_texts.h"

#include <algorithm>
#include <cstdio>

namespace vistrel {

namespace {

bool IsKeptByte(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!$'()*-._@").find(static_cast<char>(c)) != std::string_view::npos;
}

} // namespace

std::string UrlEncode(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (IsKeptByte(byte)) {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%.2x", byte);
            out += hex;
        }
    }
    return out;
}

bool IsValidEmailAddress(const std::string& address) {
    size_t at = address.find('@');
    return at != std::string::npos && address.find('.', at + 1) != std::string::npos;
}

bool IsBlankSetting(const std::string& value) {
    return value.empty() || static_cast<unsigned char>(value[0]) < '!';
}

TAddRecipient AddRecipient(std::vector<std::string>& list, const std::string& address) {
    if (list.size() >= kMaxRecipients) return TAddRecipient::ListFull;
    if (!IsValidEmailAddress(address)) return TAddRecipient::Invalid;
    bool known = std::any_of(list.begin(), list.end(),
                             [&](const std::string& entry) { return AnsiSameText(entry, address); });
    if (known) return TAddRecipient::Duplicate;
    list.push_back(address);
    return TAddRecipient::Added;
}

std::string AddRecipientMessage(TAddRecipient result, const std::string& address) {
    using namespace invite_texts;
    switch (result) {
    case TAddRecipient::Added:
        return {};
    case TAddRecipient::ListFull:
        return Text(kListFull);
    case TAddRecipient::Invalid:
        return address + Text(kInvalidAddress);
    case TAddRecipient::Duplicate:
        return address + Text(kDuplicate);
    }
    return {};
}

size_t TextLength(const std::vector<std::string>& lines) {
    size_t length = 0;
    for (const std::string& line : lines)
        length += line.size() + 2;
    return length;
}

std::vector<std::string> CutText(const std::vector<std::string>& lines, size_t limit) {
    std::vector<std::string> result;
    size_t left = limit;
    for (const std::string& line : lines) {
        if (left == 0) break;
        if (line.size() >= left) {
            // The cut falls inside this line or right before its CR LF: the line ends there. A cut
            // between CR and LF leaves a lone CR, which is no line end and is dropped.
            result.push_back(line.substr(0, left));
            break;
        }
        result.push_back(line);
        left -= std::min(left, line.size() + 2);
    }
    return result;
}

std::string SuggestedAlbumUrl(const std::string& ftpServer, const std::string& ftpDirectory) {
    std::string folder = ftpDirectory;
    if (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
    if (!folder.empty() && folder.back() == '/') folder.pop_back();
    return "http://" + ftpServer + "/" + folder;
}

std::string AlbumUrlWithSlash(std::string url) {
    if (url.empty() || url.back() != '/') url += '/';
    return url;
}

bool IsUsableServiceHost(const std::string& host) {
    if (host.empty() || host.size() > 255) return false;
    for (char c : host)
        if (static_cast<unsigned char>(c) <= ' ' ||
            std::string_view("/?#@\\").find(c) != std::string_view::npos)
            return false;
    size_t colon = host.rfind(':');
    if (colon == std::string::npos) return true;
    std::string port = host.substr(colon + 1);
    if (colon == 0 || port.empty() || port.size() > 5) return false;
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    int number = std::stoi(port);
    return number >= 1 && number <= 65535 && host.find(':') == colon;
}

std::string EffectiveServiceHost(const std::string& storedHost, const std::string& albumUrl) {
    std::string stored = Trim(storedHost);
    if (IsUsableServiceHost(stored)) return stored;
    THttpUrl album = ParseHttpUrl(Trim(albumUrl));
    std::string host = album.host;
    if (album.port != "80") host += ":" + album.port;
    return host;
}

std::string BuildRequestUrl(const TInvitationRequest& request) {
    std::string message;
    for (size_t i = 0; i < request.text.size(); ++i) {
        if (i > 0) message += "\r\n";
        message += request.text[i];
    }
    std::string postcard = request.albumUrl + request.albumPath + "/postcard.htm";
    return "http://" + request.serviceHost + kServicePath + "?sendername=" + UrlEncode(request.sender) + "&" +
           "recipient=" + UrlEncode(request.recipient) + "&" + "language=" + UrlEncode("en") + "&" +
           "message=" + UrlEncode(message) + "&" + "postcardurl=" + UrlEncode(postcard) + "&" +
           "imagepath=" + UrlEncode(request.pictureName) + "&" + "subject=" + UrlEncode(kInviteSubject) +
           "&" + "galleryemail=" + UrlEncode(request.galleryEmail);
}

} // namespace vistrel
