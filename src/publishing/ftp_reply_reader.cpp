#include "publishing/ftp_reply_reader.h"

#include "publishing/ftp_types.h"
#include "common/text_utils.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace vistrel {

int TFtpReplyReader::Append(const char* data, int length) {
    int take = std::clamp(length, 0, FreeSpace());
    buffer_.append(data, static_cast<size_t>(take));
    return take;
}

bool TFtpReplyReader::NextLine(std::string& line) {
    size_t end = acceptLF_ ? buffer_.find('\n') : buffer_.find("\r\n");
    if (end == std::string::npos) return false;
    size_t consumed = acceptLF_ ? end + 1 : end + 2;
    size_t length = end;
    while (length > 0 && (buffer_[length - 1] == '\r' || buffer_[length - 1] == '\n')) --length;
    line.assign(buffer_, 0, length);
    buffer_.erase(0, consumed);
    return true;
}

TFtpReplyCode ParseReplyCode(const std::string& line) {
    TFtpReplyCode result;
    size_t pos = 0;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r' || line[pos] == '\n'))
        ++pos;
    bool negative = false;
    if (pos < line.size() && (line[pos] == '+' || line[pos] == '-')) negative = line[pos++] == '-';
    int64_t value = 0;
    while (pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos]))) {
        value = std::min<int64_t>(value * 10 + (line[pos] - '0'), 999999);
        ++pos;
    }
    result.code = static_cast<int>(negative ? -value : value);
    bool beginsWithDigit = !line.empty() && std::isdigit(static_cast<unsigned char>(line[0]));
    result.continuation = !beginsWithDigit || (pos < line.size() && line[pos] == '-');
    return result;
}

std::string QuotedFolderName(const std::string& line) {
    size_t pos = line.find('"');
    if (pos == std::string::npos) return {};
    std::string name;
    for (++pos; pos < line.size(); ++pos) {
        if (line[pos] != '"') {
            name += line[pos];
        } else if (pos + 1 < line.size() && line[pos + 1] == '"') {
            name += '"';
            ++pos;
        } else {
            break;
        }
    }
    return name;
}

namespace {

int ByteValue(const std::string& text, const std::string& reply) {
    std::string number = Trim(text);
    bool digits = !number.empty() && number.size() <= 3 &&
                  std::all_of(number.begin(), number.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    if (!digits || std::stoi(number) > 255) throw FtpException("Invalid PASV reply: " + reply);
    return std::stoi(number);
}

} // namespace

TPasvAddress ParsePasvReply(const std::string& reply) {
    size_t open = reply.find('(');
    size_t close = open == std::string::npos ? std::string::npos : reply.find(')', open);
    if (close == std::string::npos) throw FtpException("Invalid PASV reply: " + reply);
    std::string inner = reply.substr(open + 1, close - open - 1);
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = inner.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(inner.substr(start, comma - start));
    parts.push_back(inner.substr(start));
    if (parts.size() != 6) throw FtpException("Invalid PASV reply: " + reply);
    TPasvAddress address;
    for (int i = 0; i < 4; ++i) address.host += std::to_string(ByteValue(parts[i], reply)) + (i < 3 ? "." : "");
    address.port = (ByteValue(parts[4], reply) * 256 + ByteValue(parts[5], reply)) & 0xFFFF;
    return address;
}

bool IsPrivateAddress(const std::string& dotted) {
    unsigned a = 0, b = 0;
    char dot = 0;
    if (std::sscanf(dotted.c_str(), "%u%c%u", &a, &dot, &b) != 3 || dot != '.') return true;
    return a == 0 || a == 10 || a == 127 || (a == 169 && b == 254) || (a == 172 && b >= 16 && b <= 31) ||
           (a == 192 && b == 168) || (a == 100 && b >= 64 && b <= 127) || a >= 224;
}

std::string PassiveDataHost(const std::string& pasvHost, const std::string& controlPeer) {
    if (!controlPeer.empty() && IsPrivateAddress(pasvHost) && !IsPrivateAddress(controlPeer)) return controlPeer;
    return pasvHost;
}

} // namespace vistrel
