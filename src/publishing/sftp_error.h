#pragma once
// The one exception of the SFTP layer. Its kind tells the adapter which of the publish job's
// failures happened; what() is an English text for the protocol window.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vistrel {

enum class TSftpFailure {
    Connect,      // the TCP connection could not be made or the SSH handshake failed
    TimedOut,     // nothing moved for the whole bound (a silent server, a stalled transfer)
    Lost,         // the connection broke
    Protocol,     // the server sent something that is not SFTP
    LoginRefused, // no offered credential was accepted
    Status,       // the server answered a request with a failure status (status() says which)
    Cancelled,    // "Abbrechen"
};

// SFTP status codes of version 3 of the protocol.
namespace sftp_status {
constexpr uint32_t Ok = 0;
constexpr uint32_t Eof = 1;
constexpr uint32_t NoSuchFile = 2;
constexpr uint32_t PermissionDenied = 3;
constexpr uint32_t Failure = 4;
constexpr uint32_t BadMessage = 5;
constexpr uint32_t OpUnsupported = 8;
} // namespace sftp_status

class ESftpError : public std::runtime_error {
public:
    ESftpError(TSftpFailure kind, const std::string& what, uint32_t status = 0)
        : std::runtime_error(what), kind_(kind), status_(status) {}
    TSftpFailure kind() const { return kind_; }
    uint32_t status() const { return status_; }

private:
    TSftpFailure kind_;
    uint32_t status_;
};

} // namespace vistrel
