#pragma once
#include <stdexcept>

namespace vistrel {

class FtpException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The requests the client runs; OnRequestDone reports the type the caller started (for a sequence
// such as the login, the sequence's type, not that of the command that failed). FEAT goes out as
// a quoted command.
enum TFtpRequest {
    ftpNone,
    ftpConnectAsync,
    ftpTypeSetAsync,
    ftpCwdAsync,
    ftpCDupAsync,
    ftpMkdAsync,
    ftpRmdAsync,
    ftpDeleAsync,
    ftpQuoteAsync,
    ftpPutAsync,
    ftpLsAsync,
    ftpQuitAsync,
};

// The client as its users see it; derived from the client's step (TFtpStep). A new request may
// start only in ftpReady.
enum TFtpState : unsigned char {
    ftpReady = 1,           // no request running
    ftpDnsLookup = 3,       // resolving the server's address
    ftpWaitingBanner = 7,   // connecting, or waiting for the welcome
    ftpWaitingResponse = 8, // a command was sent, its reply (or its transfer) is awaited
};

enum TFtpOption : unsigned {
    ftpAcceptLF = 1u << 0, // a lone LF ends a reply line
};
using TFtpOptions = unsigned;

} // namespace vistrel
