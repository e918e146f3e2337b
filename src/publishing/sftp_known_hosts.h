#pragma once
// Host keys as OpenSSH users know them: a fingerprint is "SHA256:" and the unpadded base64 of the
// key's SHA-256, and trusted keys live in known_hosts files of OpenSSH's format. The program keeps
// its own file in the program folder and also honours the user's ~/.ssh/known_hosts, whose host
// names Debian stores hashed.
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

// A server's public key: its type ("ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa" whatever the
// signature algorithm) and the key blob as sent in the key exchange.
struct THostKey {
    std::string type;
    std::string blob;
};

// "SHA256:" followed by the unpadded base64 of the blob's SHA-256, as `ssh-keygen -l` prints it.
std::string HostKeyFingerprint(const std::string& blob);

// The name a host is filed under: the host itself on port 22, "[host]:port" on any other port.
std::string KnownHostsName(const std::string& host, int port);

enum class THostKeyStatus {
    Unknown, // no file names the host
    Trusted, // a file holds exactly this key for the host
    Changed, // the host is filed with another key: possibly an attack
    Revoked, // a file marks this key @revoked
};

struct THostKeyCheck {
    THostKeyStatus status = THostKeyStatus::Unknown;
    THostKey known; // for Changed: the key the files hold
};

// One known_hosts file, read whole. Lines it cannot read (another tool's extensions, damage) are
// ignored, as OpenSSH does.
class TKnownHostsFile {
public:
    // A missing or unreadable file holds nothing.
    static TKnownHostsFile Load(const std::filesystem::path& path);
    static TKnownHostsFile Parse(const std::string& text);

    // Every key filed for `name` (as KnownHostsName gives it), in file order.
    std::vector<THostKey> KeysFor(const std::string& name) const;
    bool IsRevoked(const THostKey& key) const;

private:
    struct TEntry {
        std::string hosts; // the comma-separated patterns or one hashed name
        THostKey key;
        bool revoked = false;
    };
    std::vector<TEntry> entries_;
};

// Looks the key up in `files` (the program's own first). A key that any file holds for the name
// is trusted; otherwise any other key filed for the name makes it Changed.
THostKeyCheck CheckHostKey(const std::vector<std::filesystem::path>& files, const std::string& name,
                           const THostKey& key);

// The key types filed for `name`, so the key exchange can ask the server for a key we can check.
std::vector<std::string> KnownKeyTypes(const std::vector<std::filesystem::path>& files,
                                       const std::string& name);

// Files the key for `name` in the program's own file, replacing the lines that filed another key
// under exactly that name. The file is rewritten atomically; throws EFileWriteError.
void TrustHostKey(const std::filesystem::path& file, const std::string& name, const THostKey& key);

// Whether one host pattern list of a known_hosts line names `name`: comma-separated patterns with
// "*" and "?", a leading "!" negates, "|1|salt|hash" is a hashed name (HMAC-SHA1 of the name).
bool KnownHostsLineNames(const std::string& hosts, const std::string& name);

} // namespace vistrel
