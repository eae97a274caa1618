// The two ways an operation of dabtool can fail. Every face (the command
// line, the web console) turns them into its own answer.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_ERRORS_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_ERRORS_H_

#include <stdexcept>

namespace dabtool {

// The operation could not be carried out; what() is a plain sentence
// without its full stop.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A Failure that passes when another program lets go of the address book:
// trying again later may work.
class Busy : public Failure {
 public:
  using Failure::Failure;
};

// A Failure caused by the file a person gave, not by the tool or the book:
// fixing the file is what helps.
class UnreadableFile : public Failure {
 public:
  using Failure::Failure;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_ERRORS_H_
