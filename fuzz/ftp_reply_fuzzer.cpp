// fuzz-libs: vistrel_publishing
// Feeds arbitrary bytes to the control-connection reply reader in pieces, as a hostile server
// could send them, joins the lines into replies and parses every line the way the client does.
#include "publishing/ftp_reply_reader.h"
#include "publishing/ftp_types.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the line-end rule and the size of the pieces.
    vistrel::TFtpReplyReader reader((data[0] & 1) != 0);
    size_t piece = 1 + (data[0] >> 1);
    vistrel::TFtpReplyJoiner joiner;
    vistrel::TFtpReply reply;
    std::string line;
    for (size_t pos = 1; pos < size; pos += piece) {
        size_t length = std::min(piece, size - pos);
        if (reader.FreeSpace() == 0) reader.Clear(); // the client closes the session here
        reader.Append(reinterpret_cast<const char*>(data + pos), static_cast<int>(length));
        while (reader.NextLine(line)) {
            vistrel::ParseReplyCode(line);
            vistrel::QuotedFolderName(line);
            if (joiner.Add(line, reply) && reply.lines.empty()) __builtin_trap();
            if (joiner.Overflowed()) joiner = vistrel::TFtpReplyJoiner(); // the client closes here
            try {
                vistrel::ParsePasvReply(line);
            } catch (const vistrel::FtpException&) {
            }
        }
    }
    return 0;
}
