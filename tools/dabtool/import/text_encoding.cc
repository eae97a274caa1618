#include "text_encoding.h"

#include <iconv.h>
#include <uchardet/uchardet.h>

#include <cerrno>
#include <cstdint>
#include <memory>

#include "errors.h"
#include "text.h"

namespace dabtool {

namespace {

struct DetectorDeleter {
  void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};

class Converter {
 public:
  Converter(const std::string& encoding, const std::string& shownName)
      : handle_(iconv_open("UTF-8", encoding.c_str())) {
    if (handle_ == reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1))) {
      throw UnreadableFile("the encoding '" + encoding + "' named for " + shownName +
                           " is not one the tool knows (try UTF-8, WINDOWS-1252, ISO-8859-15 or "
                           "MACINTOSH)");
    }
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts the whole of `in`; the offset of the first byte that cannot be
  // converted, or npos when all could.
  size_t convert(std::string_view in, std::string& out) {
    out.resize(in.size() * 2 + 16);
    char* from = const_cast<char*>(in.data());
    size_t fromLeft = in.size();
    size_t written = 0;
    while (fromLeft > 0) {
      char* to = out.data() + written;
      size_t toLeft = out.size() - written;
      size_t result = iconv(handle_, &from, &fromLeft, &to, &toLeft);
      written = out.size() - toLeft;
      if (result != static_cast<size_t>(-1)) break;
      if (errno != E2BIG) return in.size() - fromLeft;
      out.resize(out.size() * 2);
    }
    out.resize(written);
    return std::string_view::npos;
  }

 private:
  iconv_t handle_;
};

// Short files of Western names give the detector too little to tell the
// Latin encodings apart, and it may name ISO-8859-3 or even the old Mac
// Central European encoding for a spreadsheet's Windows-1252. Windows-1252
// agrees with those encodings on the letters such files hold, and is what
// spreadsheets write: take it unless a byte it leaves undefined says
// otherwise.
std::string preferWindows1252(const std::string& detected, std::string_view bytes) {
  static const char* const kLatin[] = {"ISO-8859-1", "ISO-8859-3", "ISO-8859-9", "ISO-8859-15",
                                       "MAC-CENTRALEUROPE"};
  bool latin = false;
  for (const char* name : kLatin) latin = latin || detected == name;
  if (!latin || bytes.find_first_of("\x81\x8D\x8F\x90\x9D") != std::string_view::npos) {
    return detected;
  }
  return "WINDOWS-1252";
}

}  // namespace

std::string detectEncoding(std::string_view bytes) {
  std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
  if (!detector || uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0) {
    return "";
  }
  uchardet_data_end(detector.get());
  const char* found = uchardet_get_charset(detector.get());
  return found == nullptr ? "" : preferWindows1252(found, bytes);
}

std::string convertToUtf8(std::string_view bytes, const std::string& encoding,
                          const std::string& shownName) {
  Converter converter(encoding, shownName);
  std::string out;
  size_t bad = converter.convert(bytes, out);
  if (bad != std::string_view::npos) {
    throw UnreadableFile(shownName + " is not text in " + encoding + " (line " +
                         std::to_string(lineAt(bytes, bad)) +
                         " holds bytes that are no character in it); save it as UTF-8, or "
                         "name its encoding with --encoding");
  }
  return out;
}

}  // namespace dabtool
