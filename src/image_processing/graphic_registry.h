#pragma once
#include "image_processing/dib_graphic.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace vistrel {

// A file class: its name and how to make an object of it.
struct TGraphicClass {
    std::string name;
    std::function<std::unique_ptr<TDibGraphic>()> create;
};

// The class for the name's extension, without regard to case; a name without a dot is an extension
// itself ("jpg"). nullptr when none is registered.
const TGraphicClass* GraphicClassForFile(const std::filesystem::path& name);
// Throws EImageError "Graphic files of %s format are not supported or not registered".
std::unique_ptr<TDibGraphic> CreateGraphicForFile(const std::filesystem::path& name);
// The registered descriptions, in registration order, for a file dialog's filter.
std::vector<std::pair<std::string, std::string>> RegisteredFormats();

// The reading route for every picture file the program opens: an object of the registered class, or
// of a fallback reader (GIF, Windows icons) for the formats a toolkit's generic loader would take.
std::unique_ptr<TDibGraphic> LoadPictureFile(const std::filesystem::path& name, int imageIndex,
                                             const TImageProgressEvent& progress);
// The same, moved into the caller's picture. On failure `picture` is left empty and the error passes on.
void LoadPictureFile(const std::filesystem::path& name, int imageIndex, const TImageProgressEvent& progress,
                     TDibGraphic& picture);

} // namespace vistrel
