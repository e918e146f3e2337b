#pragma once
// The style catalogue behind "Style auswählen...": the styles are the subfolders of the style folder,
// offered sorted without regard to case; each may carry a preview picture "style.jpg".
#include "settings/program_settings.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

class TStyleCatalogue {
public:
    // `chosenStyle` is the current style folder on entry (a path ending in a separator).
    TStyleCatalogue(std::filesystem::path styleFolder, std::filesystem::path chosenStyle);

    const std::vector<std::string>& Names() const { return names_; }
    // The entry selected when the dialog opens: the one named like the chosen style's last folder
    // (case ignored), else the first; -1 when there is no style at all.
    int InitialIndex() const;
    // "style.jpg" of the style (any case), or an empty path when it has none.
    std::filesystem::path PreviewFile(int index) const;

    // "Ok": the chosen style becomes style folder + name + "/". Without a valid entry it stays as it was.
    void Choose(int index);
    const std::filesystem::path& ChosenStyle() const { return chosen_; }

private:
    std::filesystem::path styleFolder_;
    std::filesystem::path chosen_;
    std::vector<std::string> names_;
};

// The last folder name of a style path: "/x/styles/Raster/" and "Raster" both give "Raster".
std::string StyleNameOf(const std::filesystem::path& stylePath);

// What the action does after the dialog, whether it ended with "Ok" or "Abbrechen": store the chosen
// style (the current style folder and the setting `ActStyle`). After "Abbrechen" the unchanged style
// is written again.
void StoreChosenStyle(TProgramSettings& settings, const TStyleCatalogue& catalogue);

} // namespace vistrel
