#include "program/site_run.h"

#include "common/text_utils.h"
#include "program/program_texts.h"

namespace vistrel {

TSiteParams SiteParamsOf(TProgramContext& context, TSiteMode mode) {
    return TSiteParams{context.settings, context.albums, context.prompts, mode};
}

TSiteRun BuildSite(TProgramContext& context, TSiteMode mode, SiteProgress& progress, SiteHost& host) {
    TSiteRun run;
    run.site = GenerateSite(SiteParamsOf(context, mode), progress, host);
    run.result = run.site.result;
    return run;
}

std::string SiteWarningsMessage(const TSiteResult& site) {
    constexpr size_t kShown = 5;
    std::string text;
    for (size_t i = 0; i < site.warnings.size() && i < kShown; ++i)
        text += (i ? "\r\n" : "") + site.warnings[i];
    if (site.warnings.size() > kShown)
        text += "\r\n" + FormatMessage(Text(program_texts::kMoreWarnings),
                                       {std::to_string(site.warnings.size() - kShown)});
    return text;
}

} // namespace vistrel
