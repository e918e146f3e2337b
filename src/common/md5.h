#pragma once
// MD5 digests (RFC 1321) of file contents, as the transfer list stores them: 32 upper-case hex
// digits in digest order. The publish job compares them to decide which files changed.
#include <filesystem>
#include <string>
#include <string_view>

namespace vistrel {

// The digest of `bytes`.
std::string Md5Hex(std::string_view bytes);

// The digest of the whole file, read in chunks so that no picture is held in memory at once.
// Empty when the file cannot be opened or read.
std::string Md5OfFile(const std::filesystem::path& path);

} // namespace vistrel
