#pragma once
// The answer side of an HTTP/1.0 exchange, apart from the socket: the client hands it whatever
// bytes arrive, in pieces of any size, and it cuts them into the status line, the header lines and
// the document. A hostile server can only make it report an error, never make it grow without bound
// while it reads the header.
#include <cstddef>
#include <string>
#include <string_view>

namespace vistrel {

enum class THttpAnswerPart {
    StatusLine, // waiting for the first line
    Header,     // reading header lines up to the empty line
    Document,   // everything after the header is document data
    Failed,     // a line was too long; the rest is ignored
};

class THttpAnswerReader {
public:
    // A line that does not end within this many bytes is refused ("HTTP line too long").
    static constexpr size_t kLineLimit = 8192;

    // What one Feed() found. `document` holds the document bytes of this piece; a piece may finish
    // the header and start the document at once.
    struct TFeedResult {
        bool headerComplete = false; // the header ended in this piece
        std::string document;
    };

    TFeedResult Feed(std::string_view bytes);
    void Reset() { *this = THttpAnswerReader(); }

    THttpAnswerPart Part() const { return part_; }
    bool HasStatusLine() const { return hasStatusLine_; }
    bool HeaderComplete() const { return part_ == THttpAnswerPart::Document; }
    // "HTTP line too long" after a refused line, else empty.
    const std::string& Error() const { return error_; }

    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    // -1 when the header named no length.
    long long ContentLength() const { return contentLength_; }
    const std::string& ContentType() const { return contentType_; }
    const std::string& Location() const { return location_; }
    // True for an answer whose first line began with "<HTML>": it has no header at all.
    bool HeaderlessHtml() const { return headerlessHtml_; }

private:
    void TakeLine(std::string line, TFeedResult& result);
    void TakeFirstLine(std::string line, TFeedResult& result);
    void TakeHeaderLine(const std::string& line);

    THttpAnswerPart part_ = THttpAnswerPart::StatusLine;
    std::string pending_; // bytes of the line being read
    std::string error_;
    bool hasStatusLine_ = false;
    bool headerlessHtml_ = false;
    int statusCode_ = 0;
    std::string reasonPhrase_;
    long long contentLength_ = -1;
    std::string contentType_;
    std::string location_;
};

} // namespace vistrel
