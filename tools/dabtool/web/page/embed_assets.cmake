# Writes OUTPUT, a C++ source that holds the files ASSETS (names relative to
# SOURCE_DIR, separated by commas) as byte arrays for web_assets.h, each
# served at "/" and its file name.
#   cmake -DSOURCE_DIR=dir -DOUTPUT=web_assets.cc -DASSETS=index.html,app.js -P embed_assets.cmake
string(REPLACE "," ";" asset_list "${ASSETS}")
set(arrays "")
set(entries "")
set(index 0)
foreach(asset IN LISTS asset_list)
  file(READ "${SOURCE_DIR}/${asset}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Break the initializer into lines of 16 bytes.
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
  # The trailing 0 keeps an empty file's array legal; it is not served.
  string(APPEND arrays "const unsigned char kAsset${index}[] = {\n    ${bytes}0};\n")
  get_filename_component(name "${asset}" NAME)
  string(APPEND entries "      {\"/${name}\", view(kAsset${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Generated from tools/dabtool/web/page by embed_assets.cmake: edit the files there.
#include \"web_assets.h\"

namespace dabtool {

namespace {

std::string_view view(const unsigned char* bytes, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(bytes), size);
}

${arrays}
}  // namespace

const std::vector<WebAsset>& webAssets() {
  static const std::vector<WebAsset> assets = {
${entries}  };
  return assets;
}

}  // namespace dabtool
")
# Only a changed file makes the program rebuild.
configure_file("${OUTPUT}.tmp" "${OUTPUT}" COPYONLY)
file(REMOVE "${OUTPUT}.tmp")
