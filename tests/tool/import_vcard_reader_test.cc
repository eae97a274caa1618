// vCards as phones and mail programs write them: each input's cards, field
// by field.
#include <gtest/gtest.h>

#include <string>

#include "vcard_reader.h"

namespace {

// The cards of `input`, one line each: first|last|display|company|e-mail|ifax.
std::string cardsOf(const std::string& input) {
  std::string text;
  for (const dabtool::VCard& card : dabtool::readVCards(input, "in.vcf")) {
    for (const std::string& field : card.fields) text += field + "|";
    text.back() = '\n';
  }
  return text;
}

TEST(VCardReader, CardsFieldByField) {
  const std::pair<std::string, std::string> kCases[] = {
      {"begin:vcard\nfn:Al\nemail:al@x.org\n", "||Al||al@x.org|\n"},  // no END, lower case
      {"BEGIN:VCARD\nFN:A\nBEGIN:VCARD\nFN:B\nEND:VCARD\n", "||A|||\n||B|||\n"},
      {"BEGIN:VCARD\nN:O\\;Neil;Ann\\, Jr;;;\nORG:A\\\\B;Dept\nEND:VCARD\n",
       "Ann, Jr|O;Neil||A\\B||\n"},
      {"BEGIN:VCARD\nFN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Ren=E9e B=\n=F6hm\nEND:VCARD\n",
       "||Ren\xC3\xA9"
       "e B\xC3\xB6hm|||\n"},
      // The preferred e-mail of vCard 4.0, and a group prefix.
      {"BEGIN:VCARD\nitem1.EMAIL:a@x.org\nEMAIL;PREF=1:b@x.org\nEMAIL;TYPE=pref:c@x.org\nEND:"
       "VCARD\n",
       "||||b@x.org|\n"},
      {"BEGIN:VCARD\r\nFN:Long\r\n\tName\r\nEND:VCARD\r\n", "||LongName|||\n"}};
  for (const auto& [input, cards] : kCases) EXPECT_EQ(cardsOf(input), cards) << input;
}

}  // namespace
