#pragma once
// "Build the site, then act": Vorschau, the CD-ROM export and Publish all start by regenerating the
// whole site and go on only when it produced a start page. The window and vistrel-cli share this one
// step and its messages.
#include "common/job.h"
#include "program/program_context.h"
#include "site_generator/site_builder.h"

#include <string>

namespace vistrel {

enum class TSiteRunError {
    None,
    NoStartPage, // no published album has pictures
    Cancelled,   // "Abbrechen" in the progress window
    WriteFailed, // a page or a copied style file could not be written; detail says why
};

struct TSiteRun {
    TJobResult<TSiteRunError> result;
    TSiteResult site;
};

// The builder's parameters for the program's own settings and album list.
TSiteParams SiteParamsOf(TProgramContext& context, TSiteMode mode);

// Regenerates the site; a write failure becomes WriteFailed (the builder has closed its window and
// unlocked the main window by then).
TSiteRun BuildSite(TProgramContext& context, TSiteMode mode, SiteProgress& progress, SiteHost& host);

// The German message for a failed run (Windows-1252), empty for Cancelled: the user knows.
std::string SiteRunMessage(const TJobResult<TSiteRunError>& result);

// The pages cut short in one message: the first few warnings and how many more there were.
std::string SiteWarningsMessage(const TSiteResult& site);

} // namespace vistrel
