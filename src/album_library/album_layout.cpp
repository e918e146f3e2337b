#include "album_library/album_layout.h"

#include <system_error>

namespace fs = std::filesystem;

namespace vistrel {

const char* TAlbumLayout::FolderName(TPictureFile kind) {
    switch (kind) {
    case TPictureFile::Thumbnail:
        return kThumbsFolder;
    case TPictureFile::Picture:
        return kImagesFolder;
    case TPictureFile::Large:
        return kLargeFolder;
    }
    return kImagesFolder;
}

fs::path TAlbumLayout::LargestVersionOf(const std::string& fileName) const {
    std::error_code ec;
    fs::path large = PathOf(TPictureFile::Large, fileName);
    if (fs::is_regular_file(large, ec)) return large;
    return PathOf(TPictureFile::Picture, fileName);
}

bool TAlbumLayout::IsPictureFileName(const std::string& fileName) {
    return !fileName.empty() && fileName != "." && fileName != ".." &&
           fileName.find_first_of("/\\") == std::string::npos && fileName.find('\0') == std::string::npos;
}

void TAlbumLayout::CreatePictureFolders() const {
    fs::create_directories(Images());
    fs::create_directories(Thumbs());
}

void TAlbumLayout::DeletePictureFiles(const std::string& fileName) const {
    for (TPictureFile kind : kPictureFiles)
        RemovePictureFile(kind, fileName);
}

void TAlbumLayout::RemovePictureFile(TPictureFile kind, const std::string& fileName) const {
    if (!IsPictureFileName(fileName)) return;
    std::error_code ec;
    fs::remove(PathOf(kind, fileName), ec);
}

void TAlbumLayout::CopyPictureFiles(const TAlbumLayout& source, const std::string& fileName,
                                    const std::string& newName) const {
    if (!IsPictureFileName(fileName) || !IsPictureFileName(newName)) return;
    for (TPictureFile kind : kPictureFiles) {
        fs::path from = source.PathOf(kind, fileName);
        std::error_code ec;
        // A link is no file of the album: copied, whatever it points at outside would become one.
        bool plainFile = fs::symlink_status(from, ec).type() == fs::file_type::regular;
        if (!plainFile) {
            if (kind == TPictureFile::Large) RemovePictureFile(kind, newName);
            continue;
        }
        // Only the large version's folder may be missing: "images" and "thumbs" exist in every album.
        if (kind == TPictureFile::Large) fs::create_directories(FolderOf(kind), ec);
        fs::copy_file(from, PathOf(kind, newName), fs::copy_options::overwrite_existing, ec);
    }
}

} // namespace vistrel
