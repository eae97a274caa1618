// The web console's page, built into the program (web/*, turned into
// web_assets.cc by web/embed_assets.cmake), so that dabtool serve needs no
// files beside it and fetches nothing from elsewhere.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_ASSETS_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_ASSETS_H_

#include <string_view>
#include <vector>

namespace dabtool {

struct WebAsset {
  const char* path;        // where it is served: "/index.html"
  std::string_view bytes;  // the file, as it was at build time
};

// Every file of the page.
const std::vector<WebAsset>& webAssets();

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_ASSETS_H_
