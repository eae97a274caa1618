// vCards as phones and mail programs write them: each input's cards, field
// by field (first, last, display, company, e-mail).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vcard_reader.h"

namespace {

using dabtool::ContactFields;

struct VCardCase {
  const char* name;
  std::string input;
  std::vector<ContactFields> cards;
};

const VCardCase kCases[] = {
    {"EndMissingAndLowerCase",
     "begin:vcard\nfn:Al\nemail:al@x.org\n",
     {{"", "", "Al", "", "al@x.org", ""}}},
    {"TwoCardsWithoutEndBetween",
     "BEGIN:VCARD\nFN:A\nBEGIN:VCARD\nFN:B\nEND:VCARD\n",
     {{"", "", "A", "", "", ""}, {"", "", "B", "", "", ""}}},
    {"EscapesInNAndOrg",
     "BEGIN:VCARD\nN:O\\;Neil;Ann\\, Jr;;;\nORG:A\\\\B;Dept\nEND:VCARD\n",
     {{"Ann, Jr", "O;Neil", "", "A\\B", "", ""}}},
    {"QuotedPrintableSoftBreakAndCharset",
     "BEGIN:VCARD\nFN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Ren=E9e B=\n=F6hm\nEND:VCARD\n",
     {{"", "",
       "Ren\xC3\xA9"
       "e B\xC3\xB6hm",
       "", "", ""}}},
    {"PreferredEmailOf40AndGroupPrefix",
     "BEGIN:VCARD\nitem1.EMAIL:a@x.org\nEMAIL;PREF=1:b@x.org\nEMAIL;TYPE=pref:c@x.org\nEND:VCARD\n",
     {{"", "", "", "", "b@x.org", ""}}},
    {"FoldedWithTab",
     "BEGIN:VCARD\r\nFN:Long\r\n\tName\r\nEND:VCARD\r\n",
     {{"", "", "LongName", "", "", ""}}},
};

TEST(VCardReader, CardsFieldByField) {
  for (const VCardCase& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<ContactFields> cards;
    for (const dabtool::VCard& card : dabtool::readVCards(c.input, "in.vcf")) {
      cards.push_back(card.fields);
    }
    EXPECT_EQ(cards, c.cards);
  }
}

}  // namespace
