#include "publishing/sftp_known_hosts.h"

#include "common/atomic_file.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace vistrel {

namespace {

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), qsizetype(text.size()));
}

std::string FromBase64(const std::string& text) {
    auto decoded = QByteArray::fromBase64Encoding(Bytes(text), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return {};
    return decoded.decoded.toStdString();
}

std::string ToBase64(const std::string& bytes) {
    return Bytes(bytes).toBase64().toStdString();
}

// fnmatch without the character classes: OpenSSH's host patterns know only "*" and "?".
bool Wildcard(const char* pattern, const char* text) {
    for (;; ++pattern, ++text) {
        if (*pattern == '*') {
            for (const char* rest = text;; ++rest) {
                if (Wildcard(pattern + 1, rest)) return true;
                if (!*rest) return false;
            }
        }
        if (!*text) return !*pattern;
        if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                                   std::tolower(static_cast<unsigned char>(*text)))
            return false;
    }
}

// "|1|" + base64(salt) + "|" + base64(HMAC-SHA1(salt, name)), as ssh-keygen -H writes it.
bool HashedNameMatches(const std::string& field, const std::string& name) {
    const auto bar = field.find('|', 3);
    if (bar == std::string::npos) return false;
    const std::string salt = FromBase64(field.substr(3, bar - 3));
    const std::string hash = FromBase64(field.substr(bar + 1));
    if (salt.empty() || hash.empty()) return false;
    const QByteArray mac =
        QMessageAuthenticationCode::hash(Bytes(name), Bytes(salt), QCryptographicHash::Sha1);
    return mac == Bytes(hash);
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::string Line(const std::string& name, const THostKey& key) {
    return name + " " + key.type + " " + ToBase64(key.blob) + "\n";
}

} // namespace

std::string HostKeyFingerprint(const std::string& blob) {
    QByteArray digest = QCryptographicHash::hash(Bytes(blob), QCryptographicHash::Sha256);
    return "SHA256:" + digest.toBase64(QByteArray::OmitTrailingEquals).toStdString();
}

std::string KnownHostsName(const std::string& host, int port) {
    // OpenSSH files names in lower case; hashed names can only match that way.
    std::string lower = host;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (port == 22) return lower;
    return "[" + lower + "]:" + std::to_string(port);
}

bool KnownHostsLineNames(const std::string& hosts, const std::string& name) {
    if (hosts.rfind("|1|", 0) == 0) return HashedNameMatches(hosts, name);
    bool named = false;
    std::string::size_type start = 0;
    while (start <= hosts.size()) {
        auto end = hosts.find(',', start);
        if (end == std::string::npos) end = hosts.size();
        std::string pattern = hosts.substr(start, end - start);
        start = end + 1;
        const bool negated = !pattern.empty() && pattern[0] == '!';
        if (negated) pattern.erase(0, 1);
        if (pattern.empty() || !Wildcard(pattern.c_str(), name.c_str())) continue;
        if (negated) return false; // a negated match rules the line out, whatever else it names
        named = true;
    }
    return named;
}

TKnownHostsFile TKnownHostsFile::Parse(const std::string& text) {
    TKnownHostsFile file;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        auto words = SplitWords(line);
        if (words.empty() || words[0][0] == '#') continue;
        TEntry entry;
        if (words[0][0] == '@') {
            // A certificate authority signs host keys; it is not a host key itself.
            if (words[0] != "@revoked") continue;
            entry.revoked = true;
            words.erase(words.begin());
        }
        if (words.size() < 3) continue;
        entry.hosts = words[0];
        entry.key.type = words[1];
        entry.key.blob = FromBase64(words[2]);
        if (entry.key.blob.empty()) continue;
        file.entries_.push_back(std::move(entry));
    }
    return file;
}

TKnownHostsFile TKnownHostsFile::Load(const std::filesystem::path& path) {
    std::string text;
    if (!ReadFileBytes(path, text)) return {};
    return Parse(text);
}

std::vector<THostKey> TKnownHostsFile::KeysFor(const std::string& name) const {
    std::vector<THostKey> keys;
    for (const auto& entry : entries_)
        if (!entry.revoked && KnownHostsLineNames(entry.hosts, name)) keys.push_back(entry.key);
    return keys;
}

bool TKnownHostsFile::IsRevoked(const THostKey& key) const {
    for (const auto& entry : entries_)
        if (entry.revoked && entry.key.blob == key.blob) return true;
    return false;
}

THostKeyCheck CheckHostKey(const std::vector<std::filesystem::path>& files, const std::string& name,
                           const THostKey& key) {
    bool trusted = false;
    std::optional<THostKey> other;
    for (const auto& path : files) {
        const auto file = TKnownHostsFile::Load(path);
        if (file.IsRevoked(key)) return {THostKeyStatus::Revoked, key};
        for (const auto& known : file.KeysFor(name)) {
            if (known.type == key.type && known.blob == key.blob)
                trusted = true;
            else if (!other)
                other = known;
        }
    }
    // A host may be filed with several keys (one per type, or an old one left in another file):
    // the one it showed counts when any file holds it.
    if (trusted) return {THostKeyStatus::Trusted, {}};
    if (other) return {THostKeyStatus::Changed, *other};
    return {};
}

std::vector<std::string> KnownKeyTypes(const std::vector<std::filesystem::path>& files,
                                       const std::string& name) {
    std::vector<std::string> types;
    for (const auto& path : files)
        for (const auto& known : TKnownHostsFile::Load(path).KeysFor(name))
            if (std::find(types.begin(), types.end(), known.type) == types.end()) types.push_back(known.type);
    return types;
}

void TrustHostKey(const std::filesystem::path& file, const std::string& name, const THostKey& key) {
    std::string old;
    ReadFileBytes(file, old);
    std::string kept;
    std::istringstream in(old);
    for (std::string line; std::getline(in, line);) {
        const auto words = SplitWords(line);
        if (!words.empty() && words[0] == name) continue;
        kept += line + "\n";
    }
    WriteFileAtomic(file, kept + Line(name, key));
}

} // namespace vistrel
