#pragma once
// Reading the server's folder listings: MLSD lines (RFC 3659), the Unix long format of LIST and
// the bare names of NLST. Every name comes from the server and is foreign: only a plain name
// (no "/", no "\", not "." or "..") may be used in a command.
#include <string>
#include <vector>

namespace vistrel {

enum class TListingEntry { Ignored, Folder, File };
struct TListingLine {
    TListingEntry kind = TListingEntry::Ignored;
    std::string name;
};

// "type=file;size=10;modify=...; my file.txt": the facts, one blank, then the exact name. Links
// (OS.unix=slink…), the folder itself (cdir) and its parent (pdir) are ignored.
TListingLine ParseMlsdLine(const std::string& line);

// "-rw-r--r-- 1 user group 10 Jan 1 12:00 my file.txt": the columns up to the date and time are
// skipped, the rest is the name with its blanks. Works without the group column too. Links,
// "total" lines and anything else are ignored, as are "." and "..".
TListingLine ParseUnixListLine(const std::string& line);

// One line of a name listing: the name after its last "/" ("./a.jpg" and "web/a.jpg" name a.jpg).
std::string NlstName(const std::string& line);

// A name a DELE, CWD or RMD may carry: one plain component of the folder being worked on.
bool IsPlainRemoteName(const std::string& name);

} // namespace vistrel
