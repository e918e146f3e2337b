#pragma once
// The template engine: expands one style file into output lines, replacing "/#KEYWORD#/" tags by
// values and shaping the page with loops, conditionals and INCLUDE. It is line oriented and single
// pass without a syntax tree: loops jump back to a remembered position, conditionals skip forward to
// a named tag. Templates that are not well formed are expanded by the same rules, never rejected.
// All text is Windows-1252 bytes as stored; nothing is re-encoded or escaped.
#include "album_library/album_list.h"
#include "site_generator/renditions.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrel {

class TProgramSettings;

// The state of one generation run, shared by every expansion of the run, included files too. The
// site builder sets the page fields between pages; the engine changes only the three cursors
// CurrentThumb, CurrentImage and CurrentAlbum and never resets anything, so cursors keep their last
// value from one page to the next. Indexes are 0-based.
struct TSiteState {
    const std::vector<TAlbumEntry>* Albums = nullptr; // the album list, in list order
    int CurrentAlbum = 0;                             // album whose values the album keywords give
    TPictureList Pictures;                            // pictures of the album being generated
    int ThumbsPerPage = 12;
    int PictureCount = 0;   // pictures that ALLTHUMBS runs over
    int FirstThumb = 0;     // index in Pictures of the first of them
    int ThumbPageIndex = 0; // -1 on picture pages
    int ThumbPageCount = 0;
    int ImageScopeCount = 0; // pictures that ALLIMAGES runs over
    int FirstImage = 0;
    int ImagesPerPage = 0;
    int ImagePageIndex = 0;
    int ImagePageCount = 0;
    int CurrentThumb = 0;
    int CurrentImage = 0;
    bool RootMode = false; // the site root's pages: album links lose their "../"
    std::filesystem::path StyleDir;
    std::filesystem::path ScriptsDir;
    // Read at the moment a keyword is expanded; without settings the setting keywords give nothing
    // and IFECARD counts as off.
    const TProgramSettings* Settings = nullptr;
    // The renditions of Pictures, index for index, and of each album's cover picture by album index
    // (for the start page). Empty while the style uses no keyword that needs them.
    std::vector<TPictureRenditions> Renditions;
    std::map<int, TPictureRenditions> CoverRenditions;

    // A template whose loops never end (an END tag met with an empty loop stack that keeps restarting
    // the file, loops nested the wrong way round) would otherwise run forever or fill the memory. One
    // ExpandTemplate call, includes counted, may spend this much work: a unit per byte appended and per
    // template line or loop pass entered, and kIncludeWork per included file, which costs a file read
    // and folder listings (a style whose files include each other twice would otherwise read 2^16
    // files). A real page needs a small fraction of it. When it runs out the expansion stops where it
    // is and WorkLimitReached is set.
    int64_t WorkLimit = int64_t{256} << 20;
    bool WorkLimitReached = false;
};

// Deeper INCLUDE nesting includes nothing: that cuts a file that includes itself.
inline constexpr int kMaxIncludeDepth = 16;
inline constexpr int64_t kIncludeWork = 8192;

// Shared by an expansion and the files it includes: the include depth and the work left.
struct TExpansionRun {
    int depth = 0;
    int64_t workLeft = 0;
    bool Exhausted() const { return workLeft < 0; }
};

// The expansion of one template file; lives for one ExpandTemplate call. Rest, Before and After are
// views into Lines (which stays unchanged), so walking a line costs nothing but the search.
class TExpansion {
public:
    TExpansion(TSiteState& state, std::vector<std::string>& output, TExpansionRun& run);

    // Expands Lines from the first line to the last, appending to Output.
    void Run();

    // Appends to the last output line, adding one first when Output is empty.
    void AppendText(std::string_view text);
    // As AppendText, with every CR LF pair written as "<br>".
    void AppendTextBr(std::string_view text);
    // Skips forward, appending nothing, to the next tag named `name`; the search starts with Rest,
    // which still holds the tag being handled. When it is missing, After is empty and LineIndex has
    // passed the last line.
    void SkipToTag(std::string_view name);
    void PushLoop();
    // Continues right behind the opening tag on top of the loop stack. With an empty stack the file
    // restarts at its first line and (empty, -1) is pushed in place of the missing entry.
    void RepeatLoop();
    void DropLoop();
    // Expands the style or script file `name` (see FindIncludeFile) into the same Output, starting
    // on its last line, with an expansion of its own. Nothing beyond kMaxIncludeDepth.
    void IncludeFile(std::string_view name);

    TSiteState& State;
    std::vector<std::string> Lines;
    std::vector<std::string>& Output;
    int LineIndex = 0;
    std::string_view Rest;
    std::string_view Before;
    std::string Keyword; // upper-cased
    std::string_view After;
    std::vector<std::pair<std::string_view, int>> LoopStack;
    // Counters of the loops of this file only; an included file has its own.
    int ThumbPageLoop = 0;
    int ImagePageLoop = 0;
    int SavedAlbum = 0;
    int GalleryNumber = 0;

private:
    // Sets Before, Keyword and After from Rest.
    void SplitRest();
    void ExpandRest();
    void EnterLine(int index);
    // The last output line, added when Output is empty.
    std::string& CurrentLine();
    void Charge(int64_t units);
    int LineCount() const { return static_cast<int>(Lines.size()); }

    TExpansionRun& run_;
};

// Reads `path` as lines (CR LF, LF or CR) and appends its expansion to `output`. A file that cannot
// be read adds nothing. This is the call for one generated page: `output` is then normally empty, and
// its lines are the page, each to be written followed by CR LF.
void ExpandTemplate(TSiteState& state, const std::filesystem::path& path, std::vector<std::string>& output);
// The same for a template already in memory (tests, the fuzzer, the benchmark).
void ExpandTemplateText(TSiteState& state, std::string_view bytes, std::vector<std::string>& output);

} // namespace vistrel
