#include "program/site_run.h"

#include "common/atomic_file.h"
#include "common/text_utils.h"
#include "program/program_texts.h"

namespace vistrel {

TSiteParams SiteParamsOf(TProgramContext& context, TSiteMode mode) {
    return TSiteParams{context.settings, context.albums, context.prompts, mode};
}

TSiteRun BuildSite(TProgramContext& context, TSiteMode mode, SiteProgress& progress, SiteHost& host) {
    TSiteRun run;
    try {
        run.site = GenerateSite(SiteParamsOf(context, mode), progress, host);
    } catch (const EFileWriteError& error) {
        run.result = TJobResult<TSiteRunError>::Failure(TSiteRunError::WriteFailed, error.what());
        return run;
    }
    if (run.site.cancelled && run.site.startPageExists)
        run.result = TJobResult<TSiteRunError>::Failure(TSiteRunError::Cancelled);
    else if (!run.site.startPageExists)
        run.result = TJobResult<TSiteRunError>::Failure(TSiteRunError::NoStartPage);
    return run;
}

std::string SiteRunMessage(const TJobResult<TSiteRunError>& result) {
    switch (result.code) {
    case TSiteRunError::None:
    case TSiteRunError::Cancelled:
        return {};
    case TSiteRunError::NoStartPage:
        return Text(program_texts::kNoStartPage);
    case TSiteRunError::WriteFailed:
        return Text(program_texts::kPagesNotWritten) + "\r\n" + result.detail;
    }
    return {};
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
