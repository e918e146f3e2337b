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
    vistrel::TFtpReply reply;
    for (size_t pos = 1; pos < size; pos += piece) {
        size_t length = std::min(piece, size - pos);
        reader.Feed(reinterpret_cast<const char*>(data + pos), length);
        while (reader.NextReply(reply)) {
            if (reply.lines.empty()) __builtin_trap();
            for (const std::string& line : reply.lines) {
                vistrel::ParseReplyCode(line);
                vistrel::QuotedFolderName(line);
                try {
                    vistrel::ParsePasvReply(line);
                } catch (const vistrel::FtpException&) {
                }
            }
        }
        if (reader.Fault() != vistrel::TFtpReplyReader::TFault::None)
            reader.Clear(); // the client closes here
    }
    return 0;
}
