// Small text helpers every part of dabtool shares: UTF-8 decoding (the one
// validator of the tool), whole numbers as people type them, and the
// pieces of sentences.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_TEXT_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dabtool {

// Length of the UTF-8 character that starts at `text[at]`, with its code
// point in `*code` when `code` is not null; 0 when the bytes there are not
// a valid character (stray continuation bytes, overlong forms, surrogates,
// values past U+10FFFF, a character cut by the end). REQUIRES: at < size.
size_t utf8CharAt(std::string_view text, size_t at, uint32_t* code = nullptr);

// Offset of the first byte that is not part of valid UTF-8, or npos.
size_t firstInvalidUtf8(std::string_view text);

// Appends code point `code` as UTF-8. REQUIRES: code <= 0x10FFFF.
void appendUtf8(std::string& out, uint32_t code);

// 1-based line of byte `offset`, counting LF, CR LF and a lone CR as one
// line end each, as the import does.
int lineAt(std::string_view text, size_t offset);

// `text` as a whole decimal number in [min, max]: digits with an optional
// sign, nothing around them. nullopt otherwise.
std::optional<long> parseWholeNumber(const std::string& text, long min, long max);

// "--limit wants a whole number from 0 to 10, not 'many'": what both faces
// answer when parseWholeNumber refuses what was typed for `name`.
std::string wholeNumberProblem(const std::string& name, long min, long max,
                               const std::string& typed);

// `text` with A-Z made a-z; other bytes are left alone.
std::string asciiLowerCase(std::string text);

// "1 contact", "2 contacts".
std::string plural(long n, const char* one, const char* many);
// The same with the digits grouped for reading: "6,500 contacts".
std::string pluralGrouped(long n, const char* one, const char* many);
// "65,000".
std::string groupedDigits(long n);

// A size as people read it: "16 MiB", "512 KiB", "100 bytes".
std::string sizeText(size_t bytes);

// `text` without the blanks and line ends the library ends some lines with.
std::string trimmed(std::string_view text);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_TEXT_H_
