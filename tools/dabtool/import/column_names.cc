#include "column_names.h"

#include <algorithm>

#include "contact_fields.h"

namespace dabtool {

namespace {

struct KnownName {
  const char* folded;
  int field;
};

// Folded names, as foldColumnName leaves them. English, German and French
// spellings of the mail programs and contact services, the device's own
// exports and templates, and the generic names people type.
const KnownName kNames[] = {
    // First name.
    {"first", kFirstName},
    {"firstname", kFirstName},
    {"givenname", kFirstName},
    {"forename", kFirstName},
    {"vorname", kFirstName},
    {"pr\xC3\xA9nom", kFirstName},
    {"prenom", kFirstName},
    // Last name.
    {"last", kLastName},
    {"lastname", kLastName},
    {"familyname", kLastName},
    {"surname", kLastName},
    {"nachname", kLastName},
    {"nom", kLastName},
    // Display name.
    {"display", kDisplayName},
    {"displayname", kDisplayName},
    {"name", kDisplayName},
    {"fullname", kDisplayName},
    {"friendlyname", kDisplayName},
    {"contactname", kDisplayName},
    {"anzeigename", kDisplayName},
    {"nomcomplet", kDisplayName},
    // Company.
    {"company", kCompany},
    {"companyname", kCompany},
    {"organization", kCompany},
    {"organisation", kCompany},
    {"organizationname", kCompany},
    {"organization1name", kCompany},
    {"org", kCompany},
    {"firma", kCompany},
    {"unternehmen", kCompany},
    {"soci\xC3\xA9t\xC3\xA9", kCompany},
    {"societe", kCompany},
    {"entreprise", kCompany},
    // E-mail, the primary spellings first; every one is an e-mail column.
    {"email", kEmail},
    {"mail", kEmail},
    {"emailaddress", kEmail},
    {"email1value", kEmail},
    {"primaryemail", kEmail},
    {"emailadresse", kEmail},
    {"prim\xC3\xA4reemailadresse", kEmail},
    {"adressedemessagerie", kEmail},
    {"courriel", kEmail},
    {"secondaryemail", kEmail},
    {"sekund\xC3\xA4reemailadresse", kEmail},
    {"email2address", kEmail},
    {"email3address", kEmail},
    {"email2value", kEmail},
    {"email3value", kEmail},
    {"email2adresse", kEmail},
    {"email3adresse", kEmail},
    {"adressedemessagerie2", kEmail},
    {"adressedemessagerie3", kEmail},
    // Internet fax. A telephone fax number ("Business Fax", "Fax Number")
    // is not an internet-fax address and is left out.
    {"fax", kInternetFax},
    {"ifax", kInternetFax},
    {"internetfax", kInternetFax},
    {"internetfaxaddress", kInternetFax},
    {"ifaxaddress", kInternetFax},
};

// A format of another program, told by folded names that only it has.
struct Signature {
  KnownFormat format;
  std::vector<const char*> names;
};

const Signature kSignatures[] = {
    {KnownFormat::kGoogleOld, {"givenname", "familyname", "email1value"}},
    {KnownFormat::kGoogle, {"firstname", "lastname", "email1value"}},
    {KnownFormat::kOutlookEnglish, {"middlename", "jobtitle", "emailaddress"}},
    {KnownFormat::kOutlookGerman, {"weiterevornamen", "emailadresse"}},
    {KnownFormat::kOutlookFrench, {"deuxi\xC3\xA8mepr\xC3\xA9nom", "adressedemessagerie"}},
    {KnownFormat::kThunderbirdEnglish, {"primaryemail", "secondaryemail"}},
    {KnownFormat::kThunderbirdGerman, {"prim\xC3\xA4reemailadresse"}},
};

bool hasAll(const std::vector<std::string>& folded, const std::vector<const char*>& names) {
  return std::all_of(names.begin(), names.end(), [&](const char* name) {
    return std::find(folded.begin(), folded.end(), name) != folded.end();
  });
}

// True when the six columns are the library's own, in its order.
bool isLibraryHeader(const std::vector<std::string>& header) {
  if (header.size() != kFieldCount) return false;
  for (int field = 0; field < kFieldCount; ++field) {
    std::optional<int> found = fieldOfColumnName(header[static_cast<size_t>(field)]);
    if (!found || *found != field) return false;
  }
  return true;
}

}  // namespace

std::string foldColumnName(std::string_view name) {
  std::string folded;
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) {
      folded += c;
    } else if (c >= 'A' && c <= 'Z') {
      folded += static_cast<char>(c - 'A' + 'a');
    }
  }
  // A UTF-8 byte-order mark before the first name is no part of it.
  if (folded.rfind("\xEF\xBB\xBF", 0) == 0) folded.erase(0, 3);
  return folded;
}

std::optional<int> fieldOfColumnName(std::string_view name) {
  std::string folded = foldColumnName(name);
  for (const KnownName& known : kNames) {
    if (folded == known.folded) return known.field;
  }
  return std::nullopt;
}

KnownFormat formatOfHeader(const std::vector<std::string>& header) {
  std::vector<std::string> folded;
  for (const std::string& name : header) folded.push_back(foldColumnName(name));
  bool sampleLabel = !header.empty() && header[0] == "*****";
  if (hasAll(folded, {"zltaddressbookid", "isdl"})) {
    return sampleLabel ? KnownFormat::kDabSample : KnownFormat::kDabExport;
  }
  if (hasAll(folded, {"friendlyname", "emailaddress", "internetfaxaddress"})) {
    // The template spells its third column "InternetFax Address".
    bool sample = std::any_of(header.begin(), header.end(), [](const std::string& name) {
      return name.find("InternetFax") != std::string::npos;
    });
    return sample ? KnownFormat::kLegacySample : KnownFormat::kLegacyExport;
  }
  if (isLibraryHeader(header)) return KnownFormat::kLibrary;
  for (const Signature& signature : kSignatures) {
    if (hasAll(folded, signature.names)) return signature.format;
  }
  return KnownFormat::kGeneric;
}

const char* formatText(KnownFormat format) {
  switch (format) {
    case KnownFormat::kLibrary:
      return "the import's own six columns";
    case KnownFormat::kDabExport:
      return "the device's DAB export (26 columns)";
    case KnownFormat::kDabSample:
      return "the device's DAB template (27 columns)";
    case KnownFormat::kLegacyExport:
      return "the device's legacy export (3 columns)";
    case KnownFormat::kLegacySample:
      return "the device's legacy template (3 columns)";
    case KnownFormat::kGoogle:
      return "Google Contacts CSV";
    case KnownFormat::kGoogleOld:
      return "Google Contacts CSV (older format)";
    case KnownFormat::kOutlookEnglish:
      return "Outlook CSV (English)";
    case KnownFormat::kOutlookGerman:
      return "Outlook CSV (German)";
    case KnownFormat::kOutlookFrench:
      return "Outlook CSV (French)";
    case KnownFormat::kThunderbirdEnglish:
      return "Thunderbird CSV (English)";
    case KnownFormat::kThunderbirdGerman:
      return "Thunderbird CSV (German)";
    case KnownFormat::kGeneric:
      break;
  }
  return "CSV with column names";
}

}  // namespace dabtool
