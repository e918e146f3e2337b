#include "site_generator/style_catalogue.h"

#include "common/cp1252.h"
#include "common/folder_listing.h"

namespace vistrel {

namespace fs = std::filesystem;

std::string StyleNameOf(const fs::path& stylePath) {
    std::string text = stylePath.string();
    while (!text.empty() && (text.back() == '/' || text.back() == '\\'))
        text.pop_back();
    size_t cut = text.find_last_of("/\\");
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

TStyleCatalogue::TStyleCatalogue(fs::path styleFolder, fs::path chosenStyle)
    : styleFolder_(std::move(styleFolder)), chosen_(std::move(chosenStyle)),
      names_(ListFolderWithin(styleFolder_, EntryKind::Folders, styleFolder_)) {}

int TStyleCatalogue::InitialIndex() const {
    if (names_.empty()) return -1;
    std::string current = StyleNameOf(chosen_);
    for (size_t i = 0; i < names_.size(); ++i)
        if (AnsiSameText(names_[i], current)) return static_cast<int>(i);
    return 0;
}

fs::path TStyleCatalogue::PreviewFile(int index) const {
    if (index < 0 || index >= static_cast<int>(names_.size())) return {};
    fs::path folder = styleFolder_ / names_[static_cast<size_t>(index)];
    for (const std::string& name : ListFolder(folder, EntryKind::Files))
        if (AnsiSameText(name, "style.jpg")) return folder / name;
    return {};
}

void TStyleCatalogue::Choose(int index) {
    if (index < 0 || index >= static_cast<int>(names_.size())) return;
    chosen_ = styleFolder_ / names_[static_cast<size_t>(index)] / "";
}

void StoreChosenStyle(TProgramSettings& settings, const TStyleCatalogue& catalogue) {
    settings.StoreStyleChoice(catalogue.ChosenStyle().string());
}

} // namespace vistrel
