#include "net/tls_layer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <utility>

namespace vistrel {

namespace {

// One client context for the program: the system's CA store, TLS 1.2 or newer, and a client
// session cache so that a connection's session can be offered again. The certificate is checked
// after the handshake (SSL_VERIFY_NONE still records the verdict), so that the user can be asked.
// Every ticket the server sends on a connection is kept with that connection's layer (ex data 0).
int KeepTicket(SSL* ssl, SSL_SESSION* session) {
    auto* tickets = static_cast<std::vector<TTlsSession>*>(SSL_get_ex_data(ssl, 0));
    if (!tickets || SSL_SESSION_is_resumable(session) != 1) return 0;
    // A copy: OpenSSL marks the connection's own session as not resumable when the connection
    // ends without a close alert (as some servers end their data connections), which would spoil
    // a ticket nobody has used yet.
    if (SSL_SESSION* copy = SSL_SESSION_dup(session)) tickets->push_back(TTlsSession(copy, SSL_SESSION_free));
    return 0;
}

SSL_CTX* ClientContext() {
    static SSL_CTX* context = [] {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(ctx);
        SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
        SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
        SSL_CTX_sess_set_new_cb(ctx, KeepTicket);
        return ctx;
    }();
    return context;
}

std::string LastOpenSslError() {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return "TLS error";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

bool IsDottedAddress(const std::string& host) {
    in_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) == 1;
}

} // namespace

struct TTlsLayer::Impl {
    SSL* ssl = nullptr;
    BIO* input = nullptr;  // network -> TLS
    BIO* output = nullptr; // TLS -> network
    bool failed = false;
    std::vector<TTlsSession> tickets;
};

TTlsLayer::TTlsLayer(const std::string& host, const TTlsSession& offer) : impl_(std::make_unique<Impl>()) {
    impl_->ssl = SSL_new(ClientContext());
    impl_->input = BIO_new(BIO_s_mem());
    impl_->output = BIO_new(BIO_s_mem());
    BIO_set_mem_eof_return(impl_->input, -1);
    SSL_set_bio(impl_->ssl, impl_->input, impl_->output);
    SSL_set_connect_state(impl_->ssl);
    SSL_set_ex_data(impl_->ssl, 0, &impl_->tickets);
    if (IsDottedAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(impl_->ssl), host.c_str());
    } else {
        // SSL_set_tlsext_host_name without the macro's C cast.
        SSL_ctrl(impl_->ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(host.c_str()));
        SSL_set1_host(impl_->ssl, host.c_str());
    }
    if (offer) SSL_set_session(impl_->ssl, offer.get());
}

TTlsLayer::~TTlsLayer() {
    SSL_free(impl_->ssl);
}

TTlsLayer::Progress TTlsLayer::Handshake() {
    if (established_) return Progress::Done;
    if (impl_->failed) return Progress::Failed;
    int rc = SSL_do_handshake(impl_->ssl);
    if (rc == 1) {
        established_ = true;
        return Progress::Done;
    }
    int reason = SSL_get_error(impl_->ssl, rc);
    if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE) return Progress::Pending;
    impl_->failed = true;
    error_ = LastOpenSslError();
    return Progress::Failed;
}

void TTlsLayer::Feed(const char* data, size_t length) {
    if (length > 0) BIO_write(impl_->input, data, static_cast<int>(length));
}

std::string TTlsLayer::TakeOutgoing() {
    std::string bytes;
    char chunk[16384];
    for (int count; (count = BIO_read(impl_->output, chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, static_cast<size_t>(count));
    return bytes;
}

int TTlsLayer::Read(char* buffer, int length) {
    if (!established_ || length <= 0) return 0;
    int count = SSL_read(impl_->ssl, buffer, length);
    if (count > 0) return count;
    int reason = SSL_get_error(impl_->ssl, count);
    if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE) return 0;
    if (reason != SSL_ERROR_ZERO_RETURN) error_ = LastOpenSslError();
    return -1;
}

bool TTlsLayer::HasPlaintext() const {
    if (!established_) return false;
    if (SSL_pending(impl_->ssl) > 0) return true;
    if (BIO_ctrl_pending(impl_->input) == 0) return false;
    // Records wait undecrypted in the input buffer: a complete one yields data (or the close alert).
    char probe = 0;
    int count = SSL_peek(impl_->ssl, &probe, 1);
    if (count > 0) return true;
    int reason = SSL_get_error(impl_->ssl, count);
    return reason != SSL_ERROR_WANT_READ && reason != SSL_ERROR_WANT_WRITE;
}

bool TTlsLayer::Write(const char* data, int length) {
    while (length > 0) {
        int count = SSL_write(impl_->ssl, data, length);
        if (count <= 0) {
            error_ = LastOpenSslError();
            return false;
        }
        data += count;
        length -= count;
    }
    return true;
}

void TTlsLayer::Shutdown() {
    if (established_) SSL_shutdown(impl_->ssl);
}

bool TTlsLayer::Verified() const {
    return SSL_get0_peer_certificate(impl_->ssl) && SSL_get_verify_result(impl_->ssl) == X509_V_OK;
}

std::string TTlsLayer::VerifyError() const {
    if (!SSL_get0_peer_certificate(impl_->ssl)) return "no certificate";
    return X509_verify_cert_error_string(SSL_get_verify_result(impl_->ssl));
}

std::string TTlsLayer::Fingerprint() const {
    X509* certificate = SSL_get0_peer_certificate(impl_->ssl);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
    static const char hex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

bool TTlsLayer::SessionReused() const {
    return SSL_session_reused(impl_->ssl) == 1;
}

TTlsSession TTlsLayer::ResumableSession() const {
    SSL_SESSION* session = SSL_get1_session(impl_->ssl);
    if (!session) return nullptr;
    if (SSL_SESSION_is_resumable(session) != 1) {
        SSL_SESSION_free(session);
        return nullptr;
    }
    return TTlsSession(session, SSL_SESSION_free);
}

std::vector<TTlsSession> TTlsLayer::TakeTickets() {
    return std::exchange(impl_->tickets, {});
}

std::string TTlsLayer::Version() const {
    return SSL_get_version(impl_->ssl);
}

} // namespace vistrel
