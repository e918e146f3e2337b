#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace vistrel {

// One complete reply: every line of a multi-line reply, joined as RFC 959 defines it. A reply that
// begins with "ddd-" ends only with a line of the same code followed by a blank ("ddd text" or a
// bare "ddd"); lines in between may look like anything, other codes and "ddd" without a blank
// included. A single-line reply is any line that begins with a digit and is no such opening.
// Text that stands before any reply (no leading digit) comes alone, as a reply of code 0.
struct TFtpReply {
    int code = 0;
    std::vector<std::string> lines; // the last one is the reply's closing line
    const std::string& Last() const { return lines.back(); }
};

// Everything between the control connection and the client's reply handlers: it buffers partial
// lines, cuts lines (CR LF, or a lone LF with acceptLF), joins multi-line replies and bounds them.
// A line may hold at most kMaxLineBytes, a reply kMaxReplyBytes in all, and a reply may take at
// most the time limit from its first byte to its last line: a server that sends without end (or a
// byte now and then) cannot hold the session or the memory. A bound once broken is a fault that
// stays until Clear(); the caller then ends the session.
class TFtpReplyReader {
public:
    static constexpr size_t kMaxLineBytes = 4095;
    static constexpr size_t kMaxReplyBytes = 64 * 1024;
    using Clock = std::chrono::steady_clock;
    enum class TFault { None, LineTooLong, ReplyTooLong };

    explicit TFtpReplyReader(bool acceptLF = true) : acceptLF_(acceptLF) {}
    void SetAcceptLF(bool acceptLF) { acceptLF_ = acceptLF; }
    // 0 gives a reply all the time it wants.
    void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

    // Takes what the connection delivered; `now` starts the clock of a reply's first byte.
    void Feed(const char* data, size_t length, Clock::time_point now = Clock::now());
    // Takes the next complete reply out; false when none is complete (or a bound was broken).
    bool NextReply(TFtpReply& reply);
    TFault Fault() const { return fault_; }
    // The broken bound in English ("Reply longer than 65536 bytes"), empty without a fault.
    std::string FaultText() const;
    // A reply has begun and is not complete yet: its clock runs until Deadline().
    bool InReply() const { return !buffer_.empty() || !pending_.lines.empty(); }
    bool HasTimeLimit() const { return timeLimit_.count() > 0; }
    Clock::time_point Deadline() const { return started_ + timeLimit_; }
    void Clear();

private:
    bool NextLine(std::string& line);
    bool Join(std::string line, TFtpReply& reply);

    std::string buffer_;
    TFtpReply pending_;
    size_t replyBytes_ = 0;
    bool acceptLF_;
    TFault fault_ = TFault::None;
    std::chrono::milliseconds timeLimit_{60000};
    Clock::time_point started_{};
    Clock::time_point lastFeed_{};
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
