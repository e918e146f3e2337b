#include "publishing/ftp_reply_reader.h"

#include "publishing/ftp_types.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace vistrel {

void TFtpReplyReader::Feed(const char* data, size_t length, Clock::time_point now) {
    if (length == 0 || fault_ != TFault::None) return;
    if (!InReply()) started_ = now;
    lastFeed_ = now;
    buffer_.append(data, length);
}

bool TFtpReplyReader::NextReply(TFtpReply& reply) {
    std::string line;
    while (fault_ == TFault::None && NextLine(line))
        if (Join(std::move(line), reply)) return true;
    // What is left is a part of a line: it may not grow beyond a line's bound and its end.
    if (fault_ == TFault::None && buffer_.size() > kMaxLineBytes + 2) fault_ = TFault::LineTooLong;
    return false;
}

std::string TFtpReplyReader::FaultText() const {
    switch (fault_) {
    case TFault::None:
        break;
    case TFault::LineTooLong:
        return "Reply line longer than " + std::to_string(kMaxLineBytes) + " bytes";
    case TFault::ReplyTooLong:
        return "Reply longer than " + std::to_string(kMaxReplyBytes) + " bytes";
    }
    return {};
}

void TFtpReplyReader::Clear() {
    buffer_.clear();
    pending_ = TFtpReply();
    replyBytes_ = 0;
    fault_ = TFault::None;
}

bool TFtpReplyReader::NextLine(std::string& line) {
    size_t end = acceptLF_ ? buffer_.find('\n') : buffer_.find("\r\n");
    if (end == std::string::npos) return false;
    size_t consumed = acceptLF_ ? end + 1 : end + 2;
    size_t length = end;
    while (length > 0 && (buffer_[length - 1] == '\r' || buffer_[length - 1] == '\n'))
        --length;
    if (length > kMaxLineBytes) {
        fault_ = TFault::LineTooLong;
        return false;
    }
    line.assign(buffer_, 0, length);
    buffer_.erase(0, consumed);
    return true;
}

TFtpReplyCode ParseReplyCode(const std::string& line) {
    TFtpReplyCode result;
    size_t pos = 0;
    while (pos < line.size() &&
           (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r' || line[pos] == '\n'))
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

TPasvAddress ParsePasvReply(const std::string& reply) {
    // Skip the code itself, then look for six numbers separated by commas (blanks allowed around).
    size_t pos = 0;
    while (pos < reply.size() && std::isdigit(static_cast<unsigned char>(reply[pos])))
        ++pos;
    auto digit = [&](size_t at) {
        return at < reply.size() && std::isdigit(static_cast<unsigned char>(reply[at]));
    };
    for (; pos < reply.size(); ++pos) {
        if (!digit(pos) || (pos > 0 && digit(pos - 1))) continue;
        int numbers[6];
        size_t at = pos;
        int found = 0;
        for (; found < 6; ++found) {
            while (at < reply.size() && reply[at] == ' ')
                ++at;
            if (!digit(at)) break;
            int value = 0;
            size_t digits = 0;
            for (; digit(at) && digits < 4; ++at, ++digits)
                value = value * 10 + (reply[at] - '0');
            if (digit(at) || value > 255) break;
            numbers[found] = value;
            while (at < reply.size() && reply[at] == ' ')
                ++at;
            if (found < 5) {
                if (at >= reply.size() || reply[at] != ',') break;
                ++at;
            }
        }
        if (found < 6) continue;
        if (at < reply.size() && reply[at] == ',') {
            pos = at; // seven or more numbers in a row are no address: skip the whole run
            continue;
        }
        TPasvAddress address;
        for (int i = 0; i < 4; ++i)
            address.host += std::to_string(numbers[i]) + (i < 3 ? "." : "");
        address.port = numbers[4] * 256 + numbers[5];
        return address;
    }
    throw FtpException("Invalid PASV reply: " + reply);
}

// Adds one line to the reply under way; true when it completed the reply.
bool TFtpReplyReader::Join(std::string line, TFtpReply& reply) {
    replyBytes_ += line.size() + 2;
    if (replyBytes_ > kMaxReplyBytes) {
        fault_ = TFault::ReplyTooLong;
        return false;
    }
    auto threeDigits = [&line] {
        return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
               std::isdigit(static_cast<unsigned char>(line[1])) &&
               std::isdigit(static_cast<unsigned char>(line[2]));
    };
    if (pending_.lines.empty()) {
        bool opening = threeDigits() && line.size() > 3 && line[3] == '-';
        bool coded = !line.empty() && std::isdigit(static_cast<unsigned char>(line[0]));
        pending_.code = coded ? ParseReplyCode(line).code : 0;
        pending_.lines.push_back(std::move(line));
        if (opening) return false;
    } else {
        const std::string code = std::to_string(pending_.code);
        bool closing = threeDigits() && line.compare(0, 3, code) == 0 && (line.size() == 3 || line[3] == ' ');
        pending_.lines.push_back(std::move(line));
        if (!closing) return false;
    }
    reply = std::move(pending_);
    pending_ = TFtpReply();
    replyBytes_ = 0;
    // Bytes of the next reply that came with this one start its clock.
    started_ = lastFeed_;
    return true;
}

} // namespace vistrel
