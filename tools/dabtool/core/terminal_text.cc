#include "terminal_text.h"

#include <locale.h>
#include <wchar.h>

#include <cstdint>

#include "text.h"

namespace dabtool {

namespace {

const char kEllipsis[] = "\xE2\x80\xA6";
constexpr uint32_t kZeroWidthJoiner = 0x200D;

// wcwidth answers by the thread's LC_CTYPE, and dabtool leaves the process
// in the "C" locale, where every character past ASCII has no width. Width
// lookups borrow a UTF-8 one for their thread while they run.
class Utf8Ctype {
 public:
  Utf8Ctype() : previous_(shared() != nullptr ? ::uselocale(shared()) : nullptr) {}
  ~Utf8Ctype() {
    if (previous_ != nullptr) ::uselocale(previous_);
  }
  Utf8Ctype(const Utf8Ctype&) = delete;
  Utf8Ctype& operator=(const Utf8Ctype&) = delete;

 private:
  struct Owned {
    Owned() {
      for (const char* name : {"C.UTF-8", "en_US.UTF-8"}) {
        if (handle == nullptr) handle = ::newlocale(LC_CTYPE_MASK, name, nullptr);
      }
    }
    ~Owned() {
      if (handle != nullptr) ::freelocale(handle);
    }
    locale_t handle = nullptr;
  };
  static locale_t shared() {
    static const Owned owned;
    return owned.handle;
  }

  locale_t previous_;
};

bool isBidiControl(uint32_t code) {
  return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

// One character as a terminal sees it; a byte that is not UTF-8 is one
// of its own. Call with a Utf8Ctype alive.
struct Character {
  size_t length;
  int columns;
  bool joiner;
  bool mark;  // belongs with the character before it
};

Character characterAt(std::string_view text, size_t at) {
  uint32_t code = 0;
  size_t length = utf8CharAt(text, at, &code);
  if (length == 0) return {1, 1, false, false};
  // Characters without a width still show as something, mostly a box.
  int columns = ::wcwidth(static_cast<wchar_t>(code));
  // A bidirectional control has no width either, but it is shown escaped:
  // text of its own, not part of the character before it.
  bool mark = columns == 0 && !isBidiControl(code);
  return {length, columns < 0 ? 1 : columns, code == kZeroWidthJoiner, mark};
}

// End of the cluster that starts at `at`: a character with the marks that
// follow it and whatever a joiner joins to it.
size_t clusterEnd(std::string_view text, size_t at) {
  Character first = characterAt(text, at);
  size_t end = at + first.length;
  bool joined = first.joiner;
  while (end < text.size()) {
    Character next = characterAt(text, end);
    if (!joined && !next.mark) break;
    joined = next.joiner;
    end += next.length;
  }
  return end;
}

bool needsEscape(uint32_t code, Tabs tabs) {
  if (code == '\t') return tabs == Tabs::kEscape;
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || isBidiControl(code);
}

// `code` spelled out; a byte that is not UTF-8 as "\x..", whatever its value.
void appendEscape(std::string& out, uint32_t code, bool isByte) {
  const char* named = code == '\t' ? "\\t" : code == '\n' ? "\\n" : code == '\r' ? "\\r" : nullptr;
  if (named != nullptr) {
    out += named;
    return;
  }
  char spelled[8];
  std::snprintf(spelled, sizeof spelled, isByte || code < 0x80 ? "\\x%02x" : "\\u%04x",
                static_cast<unsigned>(code));
  out += spelled;
}

// `text` as `show` renders it, cut between clusters to `width` columns.
template <typename Show>
std::string fitShown(std::string_view text, int width, Show show) {
  std::string whole = show(text);
  if (displayWidth(whole) <= width) return whole;
  if (width < 1) return "";
  Utf8Ctype ctype;
  std::string out;
  int used = 0;
  for (size_t at = 0, end; at < text.size(); at = end) {
    end = clusterEnd(text, at);
    std::string piece = show(text.substr(at, end - at));
    used += displayWidth(piece);
    if (used > width - 1) break;
    out += piece;
  }
  return out + kEllipsis;
}

}  // namespace

std::string terminalText(std::string_view text, Tabs tabs) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    uint32_t code = static_cast<unsigned char>(text[at]);
    size_t length = utf8CharAt(text, at, &code);
    if (length == 0 || needsEscape(code, tabs)) {
      appendEscape(out, code, length == 0);
    } else {
      out += text.substr(at, length);
    }
    at += length == 0 ? 1 : length;
  }
  return out;
}

void printLine(std::FILE* out, std::string_view line) {
  std::string shown = terminalText(line);
  shown += '\n';
  std::fwrite(shown.data(), 1, shown.size(), out);
}

int displayWidth(std::string_view text) {
  Utf8Ctype ctype;
  int width = 0;
  for (size_t at = 0; at < text.size();) {
    Character character = characterAt(text, at);
    width += character.columns;
    at += character.length;
  }
  return width;
}

std::string fitWidth(std::string_view text, int width) {
  return fitShown(text, width, [](std::string_view piece) { return std::string(piece); });
}

std::string terminalCell(std::string_view text, int width) {
  return fitShown(text, width,
                  [](std::string_view piece) { return terminalText(piece, Tabs::kEscape); });
}

}  // namespace dabtool
