#pragma once
#include <string>

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

// A reply line's code: blanks, TABs, CRs and LFs, an optional sign and the decimal digits are read;
// the character after the digits tells a continuation ("-"). Codes saturate instead of overflowing.
struct TFtpReplyCode {
    int code = 0;
    bool continuation = false; // "220-..." or a line that does not begin with a digit
};
TFtpReplyCode ParseReplyCode(const std::string& line);

// The text between the first pair of double quotes, "" standing for one quote ("257 "/a""b" ...").
std::string QuotedFolderName(const std::string& line);

// Address and port named by a "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" reply.
struct TPasvAddress {
    std::string host;
    int port = 0;
};
// Throws FtpException when the reply carries no usable numbers.
TPasvAddress ParsePasvReply(const std::string& reply);

// Private, loopback, link-local, shared and unspecified IPv4 addresses: not reachable from outside.
bool IsPrivateAddress(const std::string& dotted);
// Where to open a passive data connection: the PASV address, unless it is a private one while the
// control connection goes to a public server (a server behind NAT naming its inside address).
std::string PassiveDataHost(const std::string& pasvHost, const std::string& controlPeer);

} // namespace vistrel
