// The sample (template) files: which column groups a DAB sample holds, by
// the names people use, and writing either sample.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_SAMPLE_FILE_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_SAMPLE_FILE_H_

#include <optional>
#include <string>

#include "workspace.h"

namespace dabtool {

// The names servicesFromList takes, as a sentence lists them.
constexpr const char* kServiceChoices = "fax, email, ifax, scan, all or none";

// The service bits of the DAB sample from a comma-separated list of fax,
// email, ifax, scan, all and none. nullopt, with the unknown name in
// `*unknown` when it is not null, for any other name.
std::optional<unsigned> servicesFromList(const std::string& list, std::string* unknown = nullptr);

// The flags' services as such a list, in the file's column order; "none".
std::string serviceNames(unsigned flags);

// Writes a sample and returns the absolute path of the library's output.
// Throws Failure.
std::string writeSample(bool legacy, const std::string& delimiterName, unsigned services,
                        const Workspace& workspace);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_SAMPLE_FILE_H_
