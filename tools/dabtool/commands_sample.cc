// dabtool sample: the template files that show the expected columns.
#include <cstdio>
#include <sstream>

#include "cli.h"
#include "commands.h"
#include "file_io.h"
#include "library_call.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool sample [--legacy] [--services LIST] [--delimiter Comma|Semicolon] [-o FILE]\n"
    "\n"
    "Writes the sample DAB CSV file, with the column groups LIST names\n"
    "(comma-separated: fax, email, ifax, scan; or all, or none; default all),\n"
    "or with --legacy the sample legacy file. -o copies it to FILE.\n"
    "--raw-delimiter TEXT hands TEXT to the library unchecked (any name but\n"
    "Semicolon gives ',').\n";

}  // namespace

unsigned servicesFromList(const std::string& list) {
  unsigned flags = 0;
  std::stringstream items(list);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item == "fax") {
      flags |= 4;
    } else if (item == "email" || item == "e-mail") {
      flags |= 1;
    } else if (item == "ifax" || item == "internet-fax") {
      flags |= 2;
    } else if (item == "scan") {
      flags |= 8;
    } else if (item == "all") {
      flags |= 15;
    } else if (item != "none" && !item.empty()) {
      throw UsageError("unknown service '" + item +
                       "' in --services: use fax, email, ifax, scan, all or none");
    }
  }
  return flags;
}

std::string serviceNames(unsigned flags) {
  std::string names;
  const std::pair<unsigned, const char*> kOrder[] = {
      {4, "fax"}, {1, "email"}, {2, "ifax"}, {8, "scan"}};
  for (const auto& service : kOrder) {
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
  return file;
}

int runSample(const GlobalOptions& global, const Args& args) {
  std::vector<Option> options = delimiterOptions();
  options.push_back({"--legacy", false});
  options.push_back({"--services", true});
  options.push_back({"-o", true});
  options.push_back({"--output", true});
  ParsedArgs parsed = parseArgs("sample", args, options);
  if (parsed.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  expectPositional("sample", parsed, 0, "");
  bool legacy = parsed.flag("--legacy");
  if (legacy && parsed.has("--services")) {
    throw UsageError("--services applies to the DAB sample only, not with --legacy");
  }
  std::string delimiterName = dabtool::delimiterName(parsed);
  unsigned services = servicesFromList(parsed.value("--services", "all"));
  std::string output = parsed.value("-o", parsed.value("--output", ""));
  Workspace workspace(global);
  std::string written = writeSample(legacy, delimiterName, services, workspace);
  if (!output.empty()) {
    std::string target = workspace.fromCaller(output);
    writeFileAtomically(target, readFile(written, workspace.shown(written)), output);
    written = target;
  }
  std::string what = legacy ? std::string("legacy sample")
                            : "DAB sample with the " + serviceNames(services) + " columns";
  std::printf("Wrote the %s to %s ('%c' between fields).\n", what.c_str(),
              workspace.shown(written).c_str(), importDelimiter(delimiterName));
  return kExitOk;
}

}  // namespace dabtool
