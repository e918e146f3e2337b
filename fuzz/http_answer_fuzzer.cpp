// fuzz-libs: vistrel_invitations
// Feeds arbitrary bytes to the HTTP answer reader in pieces, as a hostile server could send them,
// and follows a relocation the way the client would.
#include "invitations/http_answer_reader.h"
#include "invitations/http_client.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the size of the pieces.
    size_t piece = 1 + data[0];
    vistrel::THttpAnswerReader reader;
    size_t documentBytes = 0;
    for (size_t pos = 1; pos < size; pos += piece) {
        size_t length = std::min(piece, size - pos);
        auto result = reader.Feed(std::string_view(reinterpret_cast<const char*>(data + pos), length));
        documentBytes += result.document.size();
        if (result.headerComplete && !reader.Location().empty()) {
            vistrel::THttpUrl current = vistrel::ParseHttpUrl("http://example.org:8080/cgi-bin/a.pl?x=1");
            vistrel::THttpUrl next = vistrel::Relocate(current, reader.Location());
            vistrel::BuildGetRequest(next, "*/*", "fuzz", false);
        }
        if (reader.Part() == vistrel::THttpAnswerPart::Failed) break;
    }
    // Every byte after the header is document, nothing is lost or invented.
    if (documentBytes > size) __builtin_trap();
    return 0;
}
