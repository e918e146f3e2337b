#include "common/md5.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <memory>

namespace vistrel {
namespace {

using TDigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

TDigestContext NewContext() {
    TDigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (context && EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) context.reset();
    return context;
}

std::string FinishHex(EVP_MD_CTX* context) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &length) != 1) return {};
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}

} // namespace

std::string Md5Hex(std::string_view bytes) {
    TDigestContext context = NewContext();
    if (!context || EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) return {};
    return FinishHex(context.get());
}

std::string Md5OfFile(const std::filesystem::path& path) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return {};
    TDigestContext context = NewContext();
    if (!context) return {};
    std::array<char, 65536> buffer;
    for (;;) {
        size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n > 0 && EVP_DigestUpdate(context.get(), buffer.data(), n) != 1) return {};
        if (n < buffer.size()) break;
    }
    // A folder opens on some systems and fails only on reading; that is "cannot be read" too.
    if (std::ferror(file.get())) return {};
    return FinishHex(context.get());
}

} // namespace vistrel
