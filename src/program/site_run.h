#pragma once
// "Build the site, then act": Vorschau, the CD-ROM export and Publish all start by regenerating the
// whole site and go on only when it produced a start page. The window and vistrel-cli share this one
// step and its messages.
#include "common/job.h"
#include "program/program_context.h"
#include "site_generator/site_builder.h"

#include <string>

namespace vistrel {

struct TSiteRun {
    TSiteJobResult result; // the builder's, repeated for the callers that act on it
    TSiteResult site;
};

// The builder's parameters for the program's own settings and album list.
TSiteParams SiteParamsOf(TProgramContext& context, TSiteMode mode);

// Regenerates the site; its messages are SiteMessage's (site_generator/site_builder.h).
TSiteRun BuildSite(TProgramContext& context, TSiteMode mode, SiteProgress& progress, SiteHost& host);

// The pages cut short in one message: the first few warnings and how many more there were.
std::string SiteWarningsMessage(const TSiteResult& site);

} // namespace vistrel
