#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace vistrel {

// Buffers what the control connection delivers and cuts it into reply lines. The buffer has the
// fixed size of the design (4096 bytes, at most 4095 filled): a line longer than that fills it,
// FreeSpace() then reads 0 and the client closes the connection instead of growing without bound.
class TFtpReplyReader {
public:
    static constexpr int kBufferSize = 4096;

    explicit TFtpReplyReader(bool acceptLF = true) : acceptLF_(acceptLF) {}
    void SetAcceptLF(bool acceptLF) { acceptLF_ = acceptLF; }
    int FreeSpace() const { return kBufferSize - 1 - static_cast<int>(buffer_.size()); }
    // Appends at most FreeSpace() bytes of data; returns how many were taken.
    int Append(const char* data, int length);
    // Takes the next complete line out of the buffer, without its trailing CR and LF characters.
    bool NextLine(std::string& line);
    void Clear() { buffer_.clear(); }
    int Buffered() const { return static_cast<int>(buffer_.size()); }

private:
    std::string buffer_;
    bool acceptLF_;
};

// One complete reply: every line of a multi-line reply, joined as RFC 959 defines it. A reply that
// begins with "ddd-" ends only with a line of the same code followed by a blank ("ddd text" or a
// bare "ddd"); lines in between may look like anything, other codes and "ddd" without a blank
// included. A single-line reply is any line that begins with a digit and is no such opening.
struct TFtpReply {
    int code = 0;
    std::vector<std::string> lines; // the last one is the reply's closing line
    const std::string& Last() const { return lines.back(); }
};

// Joins reply lines into replies and bounds them: a reply may not exceed kMaxReplyBytes in all.
// Lines that stand before any reply (text without a leading code) are handed out alone, as
// replies of code 0, so the caller can show them.
class TFtpReplyJoiner {
public:
    static constexpr size_t kMaxReplyBytes = 64 * 1024;

    // Takes the next line; true when it completed a reply, which is then in `reply`.
    bool Add(const std::string& line, TFtpReply& reply);
    // The reply grew beyond kMaxReplyBytes: the server is not speaking FTP (or is hostile).
    bool Overflowed() const { return overflowed_; }
    // A multi-line reply has begun and is not complete yet.
    bool Pending() const { return !pending_.lines.empty(); }
    void Clear();

private:
    TFtpReply pending_;
    size_t bytes_ = 0;
    bool overflowed_ = false;
};

// A reply line's code: blanks, TABs, CRs and LFs, an optional sign and the decimal digits are read;
// the character after the digits tells a continuation ("-"). Codes saturate instead of overflowing.
struct TFtpReplyCode {
    int code = 0;
    bool continuation = false; // "220-..." or a line that does not begin with a digit
};
TFtpReplyCode ParseReplyCode(const std::string& line);

// The text between the first pair of double quotes, "" standing for one quote ("257 "/a""b" ...").
std::string QuotedFolderName(const std::string& line);

// Address and port named by a 227 reply: the first six comma-separated numbers of at most 255
// after the code, wherever they stand ("227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)", "227 =h1,...",
// without parentheses too).
struct TPasvAddress {
    std::string host;
    int port = 0;
};
// Throws FtpException when the reply carries no six such numbers.
TPasvAddress ParsePasvReply(const std::string& reply);

} // namespace vistrel
