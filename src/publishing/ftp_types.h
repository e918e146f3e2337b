#pragma once
#include <stdexcept>

namespace vistrel {

class FtpException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Request types in their fixed order (0 to 42); OnRequestDone reports the type the caller started.
enum TFtpRequest {
    ftpNone,
    ftpOpenAsync,
    ftpUserAsync,
    ftpPassAsync,
    ftpCwdAsync,
    ftpConnectAsync,
    ftpReceiveAsync,
    ftpDirAsync,
    ftpLsAsync,
    ftpPortAsync,
    ftpGetAsync,
    ftpDirectoryAsync,
    ftpListAsync,
    ftpSystemAsync,
    ftpSystAsync,
    ftpQuitAsync,
    ftpAbortXferAsync,
    ftpSizeAsync,
    ftpPutAsync,
    ftpAppendAsync,
    ftpFileSizeAsync,
    ftpRqAbort,
    ftpMkdAsync,
    ftpRmdAsync,
    ftpRenameAsync,
    ftpDeleAsync,
    ftpRenAsync,
    ftpRenToAsync,
    ftpRenFromAsync,
    ftpDeleteAsync,
    ftpMkdirAsync,
    ftpRmdirAsync,
    ftpPwdAsync,
    ftpQuoteAsync,
    ftpCDupAsync,
    ftpDoQuoteAsync,
    ftpTransmitAsync,
    ftpTypeSetAsync,
    ftpRestAsync,
    ftpRestGetAsync,
    ftpRestartGetAsync,
    ftpRestPutAsync,
    ftpRestartPutAsync,
};

// The client state; a new request may start only in ftpReady and ftpInternalReady.
enum TFtpState : unsigned char {
    ftpNotConnected = 0,    // no control connection
    ftpReady = 1,           // idle, a request may start
    ftpInternalReady = 2,   // between the steps of a sequence, or after the control connection closed
    ftpDnsLookup = 3,       // resolving the server's address
    ftpConnected = 4,       // the welcome (220) has arrived
    ftpAbort = 5,           // Abort is tearing the session down
    ftpWaitingBanner = 7,   // connected, waiting for the welcome
    ftpWaitingResponse = 8, // a command was sent, its reply is awaited
    ftpPasvReady = 9,       // "227" arrived to PASV; the data connection is next
};

enum TFtpShareMode {
    ftpShareCompat,
    ftpShareExclusive,
    ftpShareDenyWrite,
    ftpShareDenyRead,
    ftpShareDenyNone
};

enum TFtpOption : unsigned {
    ftpAcceptLF = 1u << 0,       // a lone LF ends a reply line
    ftpNoAutoResumeAt = 1u << 1, // kept for completeness; the program never resumes
};
using TFtpOptions = unsigned;

// Only ftpDirect is implemented; the program never selects the others.
enum TFtpConnectionType { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };

} // namespace vistrel
