#include "sample_file.h"

#include <sstream>
#include <utility>

#include "errors.h"
#include "library_facts.h"
#include "whole_file.h"

namespace dabtool {

namespace {

// The library's service bits, in the order the sample's columns come.
const std::pair<unsigned, const char*> kServices[] = {
    {4, "fax"}, {1, "email"}, {2, "ifax"}, {8, "scan"}};

std::optional<unsigned> serviceBits(const std::string& name) {
  if (name == "all") return 15u;
  if (name == "none" || name.empty()) return 0u;
  if (name == "e-mail") return 1u;
  if (name == "internet-fax") return 2u;
  for (const auto& service : kServices) {
    if (name == service.second) return service.first;
  }
  return std::nullopt;
}

}  // namespace

std::optional<unsigned> servicesFromList(const std::string& list, std::string* unknown) {
  unsigned flags = 0;
  std::stringstream items(list);
  std::string item;
  while (std::getline(items, item, ',')) {
    std::optional<unsigned> bits = serviceBits(item);
    if (!bits) {
      if (unknown != nullptr) *unknown = item;
      return std::nullopt;
    }
    flags |= *bits;
  }
  return flags;
}

std::string serviceNames(unsigned flags) {
  std::string names;
  for (const auto& service : kServices) {
    if (flags & service.first) names += (names.empty() ? "" : ",") + std::string(service.second);
  }
  return names.empty() ? "none" : names;
}

std::string writeSample(bool legacy, const std::string& delimiterName, unsigned services,
                        const Workspace& workspace) {
  CText name(delimiterName);
  int ok = legacy ? GenerateSampleLegacy(name.get())
                  : GenerateSampleDAB(name.get(), nullptr, nullptr, services);
  std::string file = workspace.fixedFile(legacy ? kLegacySampleFile : kSampleFile);
  if (!ok) throw Failure("the sample could not be written to " + workspace.shown(file));
  // Four rows (header, options, an individual, a group), or the legacy
  // header and one row; neither ends its last row.
  checkWholeCsv(file, workspace.shown(file),
                {importDelimiter(delimiterName), legacy ? 2 : 4, false, "sample"});
  return file;
}

}  // namespace dabtool
