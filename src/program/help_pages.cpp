#include "program/help_pages.h"

#include <map>

namespace vistrel {

std::filesystem::path HelpPagePath(const TProgramFolders& folders, int context) {
    static const std::map<int, const char*> pages = {
        {100, "stepbystep.htm"},          {200, "publish.htm"},          {300, "styles.htm"},
        {400, "imageeditor.htm"},         {500, "publish.htm"},          {600, "settings.htm"},
        {700, "settingsimageimport.htm"}, {800, "settingsinfo.htm"},     {900, "settingsmain.htm"},
        {1000, "settingsother.htm"},      {1100, "settingspublish.htm"}, {1200, "invitations.htm"},
    };
    auto page = pages.find(context);
    return folders.help / (page == pages.end() ? "index.htm" : page->second);
}

} // namespace vistrel
