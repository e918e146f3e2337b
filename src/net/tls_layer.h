#pragma once
// TLS over memory buffers (OpenSSL memory BIOs): the socket feeds it the bytes it received and
// sends what it produces, so encryption fits the single-threaded, event-driven socket without a
// thread or a blocking call. One object per connection, client side only.
#include <memory>
#include <string>
#include <vector>

struct ssl_session_st;

namespace vistrel {

// A TLS session that a new connection can offer to resume (OpenSSL's SSL_SESSION, shared).
using TTlsSession = std::shared_ptr<ssl_session_st>;

class TTlsLayer {
public:
    // `host` is checked against the server certificate (name or dotted address); `offer`, when
    // given, is the session to resume (FTP servers want the data connections to resume the
    // control connection's session).
    TTlsLayer(const std::string& host, const TTlsSession& offer);
    ~TTlsLayer();
    TTlsLayer(const TTlsLayer&) = delete;
    TTlsLayer& operator=(const TTlsLayer&) = delete;

    enum class Progress { Pending, Done, Failed };
    // Runs the handshake as far as the received bytes allow.
    Progress Handshake();
    bool Established() const { return established_; }

    // Bytes received from the network.
    void Feed(const char* data, size_t length);
    // Bytes to send to the network (handshake records, encrypted data, the close alert).
    std::string TakeOutgoing();
    // Decrypted bytes: > 0 read, 0 nothing available now, -1 the connection failed or was closed
    // by the peer's close alert.
    int Read(char* buffer, int length);
    bool HasPlaintext() const;
    // Encrypts all of `data` (the records then wait in TakeOutgoing()).
    bool Write(const char* data, int length);
    // Queues the close alert.
    void Shutdown();

    // The server certificate: whether the system's CA store and the host name accept it, why not,
    // and its SHA-256 fingerprint as 64 upper-case hex digits.
    bool Verified() const;
    std::string VerifyError() const;
    std::string Fingerprint() const;
    bool SessionReused() const;
    // The session this connection could offer to the next one, when it can be resumed.
    TTlsSession ResumableSession() const;
    // The sessions of the tickets the server sent on this connection and nobody took yet, oldest
    // first. With TLS 1.3 a server may take each ticket once, so every new connection wants one
    // of its own.
    std::vector<TTlsSession> TakeTickets();
    std::string Version() const;
    // The last OpenSSL error, for the protocol.
    const std::string& Error() const { return error_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool established_ = false;
    std::string error_;
};

} // namespace vistrel
