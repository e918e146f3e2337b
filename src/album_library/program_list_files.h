#pragma once
// The program's own list files that stand in the folders of a site: the album list and each album's
// picture list ("info.txt"), and, should the user have put them there, the transfer list and the
// settings. They hold every album with its texts, unpublished ones included, and are never part of
// what goes to a server or onto a CD.
#include <string>

namespace vistrel {

// True for such a file's name, without regard to case.
bool IsProgramListFile(const std::string& name);

} // namespace vistrel
