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
    // The reader turns the picture upright itself (HEIF's rotation and mirror properties), so an
    // EXIF orientation in the file must not be applied a second time.
    bool orientsItself = false;
};

// One readable file format as the desktop and the import see it.
struct TReadableFormat {
    std::string extension; // upper case, without the dot
    std::string description;
    std::string mimeType;
    // Taken by the folder import and the drop, beside the extensions those have always taken.
    bool inFolderImport = false;
};

// The class for the name's extension, without regard to case; a name without a dot is an extension
// itself ("jpg"). nullptr when none is registered.
const TGraphicClass* GraphicClassForFile(const std::filesystem::path& name);
// Throws EImageError "Graphic files of %s format are not supported or not registered".
std::unique_ptr<TDibGraphic> CreateGraphicForFile(const std::filesystem::path& name);
// The registered descriptions, in registration order, for a file dialog's filter.
std::vector<std::pair<std::string, std::string>> RegisteredFormats();
// Every format the reading route takes, registered or read by a fallback reader (GIF, icons), in
// registration order: the source of the desktop entry's MIME types and of the help's format list.
std::vector<TReadableFormat> ReadableFormats();
// True when the name's extension belongs to a format the folder import and the drop take beside
// their fixed list (the formats of phones and the web).
bool IsFolderImportFormat(const std::filesystem::path& name);

// The reading route for every picture file the program opens: an object of the registered class, or
// of a fallback reader (GIF, Windows icons) for the formats a toolkit's generic loader would take.
std::unique_ptr<TDibGraphic> LoadPictureFile(const std::filesystem::path& name, int imageIndex,
                                             const TImageProgressEvent& progress);
// The same, moved into the caller's picture. On failure `picture` is left empty and the error passes on.
void LoadPictureFile(const std::filesystem::path& name, int imageIndex, const TImageProgressEvent& progress,
                     TDibGraphic& picture);

} // namespace vistrel
