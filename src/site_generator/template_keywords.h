#pragma once
// The keywords of the template language: each is a handler that the engine calls with the expansion
// and the run's state when it meets the tag. Value keywords append a text; control keywords (loops,
// conditionals, advance tags, BREAK, INCLUDE) move the expansion.
#include "site_generator/template_engine.h"

#include <span>
#include <string_view>

namespace vistrel {

using TKeywordHandler = void (*)(TExpansion& expansion, TSiteState& state);

struct TKeywordEntry {
    std::string_view keyword;
    TKeywordHandler handler;
};

// The handler for an upper-cased keyword, or null for a keyword that matches nothing (the tag then
// only disappears). Exact names first; then any keyword beginning with "BREAK" or "INCLUDE".
TKeywordHandler FindKeywordHandler(std::string_view keyword);

std::span<const TKeywordEntry> ValueKeywords();
std::span<const TKeywordEntry> ControlKeywords();
void BreakTag(TExpansion& expansion, TSiteState& state);
void IncludeTag(TExpansion& expansion, TSiteState& state);

} // namespace vistrel
