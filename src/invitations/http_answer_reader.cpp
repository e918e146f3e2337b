#include "invitations/http_answer_reader.h"

#include <cctype>

namespace vistrel {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A Content-Length that is not a plain decimal number (or absurdly large) counts as not given; the
// document is read until the server closes anyway.
long long ParseLength(const std::string& value) {
    if (value.empty() || value.size() > 15) return -1;
    long long length = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return -1;
        length = length * 10 + (c - '0');
    }
    return length;
}

} // namespace

THttpAnswerReader::TFeedResult THttpAnswerReader::Feed(std::string_view bytes) {
    TFeedResult result;
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (part_ == THttpAnswerPart::Failed) break;
        if (part_ == THttpAnswerPart::Document) {
            result.document.append(bytes.substr(pos));
            break;
        }
        size_t lf = bytes.find('\n', pos);
        size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        // The limit is checked before appending, so a hostile header never buffers more than it.
        if (pending_.size() + (end - pos) >= kLineLimit) {
            part_ = THttpAnswerPart::Failed;
            error_ = "HTTP line too long";
            pending_.clear();
            break;
        }
        pending_.append(bytes.substr(pos, end - pos));
        if (lf == std::string_view::npos) break;
        pos = lf + 1;
        std::string line = std::move(pending_);
        pending_.clear();
        THttpAnswerPart before = part_;
        TakeLine(std::move(line), result);
        if (before != THttpAnswerPart::Document && part_ == THttpAnswerPart::Document)
            result.headerComplete = true;
    }
    return result;
}

void THttpAnswerReader::TakeLine(std::string line, TFeedResult& result) {
    if (part_ == THttpAnswerPart::StatusLine) return TakeFirstLine(std::move(line), result);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
        part_ = THttpAnswerPart::Document;
        return;
    }
    TakeHeaderLine(line);
}

// "HTTP/1.x 302 Found": the code stands in characters 10 to 12, the reason from character 14 on. An
// answer that starts with an HTML page instead has no header; that first line is document already.
void THttpAnswerReader::TakeFirstLine(std::string line, TFeedResult& result) {
    std::string raw = line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (StartsWithNoCase(line, "<HTML>")) {
        headerlessHtml_ = true;
        part_ = THttpAnswerPart::Document;
        result.document += raw + "\n";
        return;
    }
    part_ = THttpAnswerPart::Header;
    if (line.rfind("HTTP/1.0", 0) != 0 && line.rfind("HTTP/1.1", 0) != 0) {
        // Not an HTTP answer line; read on as a header so the client can refuse the whole answer.
        TakeHeaderLine(line);
        return;
    }
    if (line.size() < 12) return;
    int code = 0;
    for (size_t i = 9; i < 12; ++i) {
        if (line[i] < '0' || line[i] > '9') return;
        code = code * 10 + (line[i] - '0');
    }
    statusCode_ = code;
    reasonPhrase_ = line.size() > 13 ? line.substr(13) : std::string();
    hasStatusLine_ = true;
}

void THttpAnswerReader::TakeHeaderLine(const std::string& line) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) return;
    std::string name = LowerAscii(line.substr(0, colon));
    size_t start = colon + 1;
    while (start < line.size() && line[start] == ' ')
        ++start;
    std::string value = line.substr(start);
    if (name == "content-length")
        contentLength_ = ParseLength(value);
    else if (name == "content-type")
        contentType_ = value;
    else if (name == "location")
        location_ = value;
}

} // namespace vistrel
