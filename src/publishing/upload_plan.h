#pragma once
// The upload plan of a publish run: which local folders are sent, in which order, and where each
// one goes on the server. Local folder paths end in "/", like the remote ones.
#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

class TAlbumList;

struct TUploadPlan {
    std::string localRoot;            // the album folder ("galleries/")
    std::vector<std::string> folders; // the root first, then per published album: itself, images/, thumbs/
};

// The root, then for every published album in list order its folder, "images/" and "thumbs/".
// Entries that do not name a plain folder below the album folder are left out: they would point
// at the album folder itself or outside it.
TUploadPlan BuildUploadPlan(const TAlbumList& albums);

// The remote folder of a planned local folder: `remoteRoot` followed by the local path without
// its first `localRoot.size()` characters (at most 65000 taken), every "\" made "/".
std::string RemoteFolderFor(const std::string& localRoot, const std::string& remoteRoot,
                            const std::string& folder);

// The remote root as the job uses it: ending in "/" (an empty root becomes "/").
std::string WithTrailingSlash(std::string remoteRoot);

// Removes all leading "/"; returns the text before the next "/" and removes it with that "/", or
// the whole rest, emptying `path`.
std::string NextPathPart(std::string& path);

// The folders to enter, one after the other, for a remote folder ("\\" counts as "/"); none for
// an empty one or one that begins with a blank or a control character, which is left as it is.
std::vector<std::string> RemoteFolderParts(std::string path);

// The files of a planned folder: the names of every entry that is neither a folder, nor hidden,
// nor one of the program's own list files (IsProgramListFile), sorted by name without regard to case; `bytes`
// sums the sizes of every file found, hidden ones included. A folder that cannot be read has none.
struct TFolderFiles {
    std::vector<std::string> names;
    int64_t bytes = 0;
};
TFolderFiles ListPlanFolder(const std::string& folder);

// The program's own list files that the transfer list `oldLines` (path TAB size TAB digest) shows
// as sent from `localFolder` (ending in "/") by an earlier run: their names, to be deleted there.
std::vector<std::string> ProgramFilesSentFrom(const std::vector<std::string>& oldLines,
                                              const std::string& localFolder);

// -1 when the file is not found.
int64_t LocalFileSize(const std::string& path);

// "%0.1F" and "%0.3f" with the given decimal separator.
std::string FixedText(double value, int decimals, char decimalSeparator);

} // namespace vistrel
