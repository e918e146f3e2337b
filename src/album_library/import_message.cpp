// The import's closing words: why a file was left out, in plain German, and the summary the window
// and vistrel-cli show at the end of an import.
#include "album_library/album_library_texts.h"
#include "album_library/import_job.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/text_utils.h"
#include "image_processing/image_error.h"

#include <array>
#include <fstream>
#include <string_view>

namespace vistrel {

namespace fs = std::filesystem;
namespace texts = album_library_texts;

namespace {

// True when the file begins like one of the picture formats the program reads: then a failure
// means a damaged picture, otherwise a file that is no picture at all (a text file named ".jpg").
bool StartsLikeAPicture(const std::string& head) {
    static const std::array<std::string_view, 7> kSignatures = {
        std::string_view("\xFF\xD8\xFF", 3),
        std::string_view("\x89PNG", 4),
        "GIF8",
        "BM",
        std::string_view("II*\0", 4),
        std::string_view("MM\0*", 4),
        std::string_view("\x0A", 1), // PCX
    };
    for (std::string_view signature : kSignatures)
        if (head.compare(0, signature.size(), signature) == 0) return true;
    // HEIF and AVIF are ISO media files ("ftyp" box first); WebP is a RIFF file.
    if (head.size() >= 8 && head.compare(4, 4, "ftyp") == 0) return true;
    if (head.size() >= 4 && head.compare(0, 4, "RIFF") == 0) return true;
    // Netpbm pictures have six kinds ("P1" .. "P6").
    return head.size() >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6';
}

bool Contains(const std::string& text, std::string_view piece) {
    return text.find(piece) != std::string::npos;
}

const char* ProblemText(TImportProblem problem) {
    switch (problem) {
    case TImportProblem::NotAPicture:
        return texts::kNotAPicture;
    case TImportProblem::EmptyFile:
        return texts::kEmptyFile;
    case TImportProblem::Broken:
        return texts::kBroken;
    case TImportProblem::TooLarge:
        return texts::kTooLarge;
    case TImportProblem::Unsupported:
        return texts::kUnsupported;
    case TImportProblem::CannotOpen:
        return texts::kCannotOpen;
    case TImportProblem::WriteFailed:
        return texts::kWriteFailed;
    case TImportProblem::Damaged:
        return texts::kDamaged;
    case TImportProblem::Other:
        break;
    }
    return texts::kOther;
}

std::string FileName(const fs::path& file) {
    return Utf8ToAnsi(file.filename().string());
}

void AddNotes(std::string& text, const char* heading, const std::vector<TImportNote>& notes) {
    if (notes.empty()) return;
    text += "\r\n\r\n" + Text(heading);
    for (const TImportNote& note : notes)
        text += "\r\n- \"" + FileName(note.file) + "\": " + Text(ProblemText(note.problem));
}

} // namespace

TImportProblem ClassifyImportFailure(const std::exception& error, const fs::path& file) {
    if (dynamic_cast<const EFileWriteError*>(&error)) return TImportProblem::WriteFailed;
    std::ifstream in(file, std::ios::binary);
    if (!in) return TImportProblem::CannotOpen;
    std::string head(8, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    if (head.empty()) return TImportProblem::EmptyFile;
    // The readers' texts are English and made for the protocol; these pieces are the ones that mean
    // something else than damage.
    std::string what = error.what();
    if (Contains(what, "too large")) return TImportProblem::TooLarge;
    if (Contains(what, "not supported") || Contains(what, "must be gray scale or true color"))
        return TImportProblem::Unsupported;
    if (!dynamic_cast<const EImageError*>(&error)) return TImportProblem::Other;
    return StartsLikeAPicture(head) ? TImportProblem::Broken : TImportProblem::NotAPicture;
}

std::string ImportProblemMessage(TImportProblem problem) {
    return Text(ProblemText(problem));
}

std::string ImportMessage(const TImportResult& result) {
    if (result.code == TImportCode::NoPictures) return NoPicturesMessage();
    if (result.code == TImportCode::NotStored)
        return Text(texts::kScanNotStored) + "\r\n" + Text(texts::kDetails) + " " + Utf8ToAnsi(result.detail);
    if (result.leftOut.empty() && result.damaged.empty()) return {};
    std::string text = FormatMessage(Text(texts::kSummaryCount),
                                     {std::to_string(result.files), std::to_string(result.stored.size())});
    if (result.cancelled) text += " " + Text(texts::kSummaryCancelled);
    AddNotes(text, texts::kSummaryLeftOut, result.leftOut);
    AddNotes(text, texts::kSummaryDamaged, result.damaged);
    text += "\r\n\r\n" + Text(texts::kDetails);
    for (const auto* notes : {&result.leftOut, &result.damaged})
        for (const TImportNote& note : *notes)
            text += "\r\n" + FileName(note.file) + ": " + Utf8ToAnsi(note.detail);
    return text;
}

} // namespace vistrel
