#pragma once
// One album's folders and the files that belong to one picture. Import, the album and picture
// operations, the tidy, the editor's write-back, the site builder, the CD copy and the upload plan
// all ask this type where a picture's files lie, so a new file per picture is added here alone.
#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

// The files of one picture. Each lies under the picture's own file name in a folder of its kind.
enum class TPictureFile {
    Thumbnail, // "thumbs": the tile and the overview pages; a thumbnail makes a picture of the album
    Picture,   // "images": the stored picture, the one the album's size settings give
    Large,     // "large": the large version for high-resolution screens; not every picture has one
};

// Whether a folder of the album travels with the site even when it does not exist yet.
enum class TSiteFolderPresence { Always, WhenPresent };

struct TSiteFolder {
    const char* name;
    TSiteFolderPresence presence;
};

class TAlbumLayout {
public:
    static constexpr const char* kImagesFolder = "images";
    static constexpr const char* kThumbsFolder = "thumbs";
    static constexpr const char* kLargeFolder = "large";
    // Files the site builder generates for the pages (sizes and formats of each picture). The album
    // store never looks into it: its files are no pictures of the album.
    static constexpr const char* kRenditionsFolder = "renditions";

    // Every file of a picture, the thumbnail first: a delete or copy that stops half way then leaves
    // at worst a picture without thumbnail, which the tidy rebuilds.
    static constexpr std::array<TPictureFile, 3> kPictureFiles = {TPictureFile::Thumbnail,
                                                                  TPictureFile::Picture, TPictureFile::Large};

    // The album's subfolders that a copy of the site carries (CD folder, server), in copy order.
    // "images" and "thumbs" are listed even before the first import, as they always were; the large
    // versions and the renditions only where the album has them.
    static constexpr std::array<TSiteFolder, 4> kSiteFolders = {
        TSiteFolder{kImagesFolder, TSiteFolderPresence::Always},
        TSiteFolder{kThumbsFolder, TSiteFolderPresence::Always},
        TSiteFolder{kLargeFolder, TSiteFolderPresence::WhenPresent},
        TSiteFolder{kRenditionsFolder, TSiteFolderPresence::WhenPresent},
    };

    explicit TAlbumLayout(std::filesystem::path albumFolder) : folder_(std::move(albumFolder)) {}

    // The album's own folder, as given (without a trailing separator unless it was given one).
    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path Images() const { return folder_ / kImagesFolder; }
    std::filesystem::path Thumbs() const { return folder_ / kThumbsFolder; }
    std::filesystem::path Large() const { return folder_ / kLargeFolder; }
    std::filesystem::path Renditions() const { return folder_ / kRenditionsFolder; }

    static const char* FolderName(TPictureFile kind);
    std::filesystem::path FolderOf(TPictureFile kind) const { return folder_ / FolderName(kind); }
    std::filesystem::path PathOf(TPictureFile kind, const std::string& fileName) const {
        return FolderOf(kind) / fileName;
    }

    // The largest version of a picture there is: its large version, else the stored picture.
    std::filesystem::path LargestVersionOf(const std::string& fileName) const;

    // A file name that may stand for a picture: not empty, no folder part, not "." or "..". Others
    // would reach outside the album's folders.
    static bool IsPictureFileName(const std::string& fileName);

    // Makes "images" and "thumbs" (with missing parents). Throws std::filesystem::filesystem_error.
    void CreatePictureFolders() const;

    // Deletes every file of the picture; failures are ignored.
    void DeletePictureFiles(const std::string& fileName) const;
    // Deletes one file of the picture when it is there; failures are ignored.
    void RemovePictureFile(TPictureFile kind, const std::string& fileName) const;

    // Copies every file of picture `fileName` of `source` here as `newName`, replacing what is there;
    // failures are ignored. A file that the source picture lacks (a picture without large version)
    // is removed here, so no file of an earlier picture of the new name stays with it. Symbolic
    // links are not copied: what they point at may lie outside the program's folders.
    void CopyPictureFiles(const TAlbumLayout& source, const std::string& fileName,
                          const std::string& newName) const;

private:
    std::filesystem::path folder_;
};

} // namespace vistrel
