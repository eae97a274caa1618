// Stand-in UTF-8 helper.
#include "utf8_text.h"

// Counts every byte that is not a continuation byte (10xxxxxx), so a lead byte
// and its continuation bytes count once. A stray continuation byte counts as
// nothing, so the result never exceeds the byte length.
extern "C" int UTF8_strlen(const char* text) {
  int characters = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    characters += (*p & 0xC0) != 0x80;
  }
  return characters;
}
