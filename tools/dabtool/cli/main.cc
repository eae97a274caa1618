// dabtool: the address book from the command line. Calls the library's five
// entry points in-process, as the device's web server does, against the
// stand-in platform and its SQLite address book.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "dabplatform.h"
#include "errors.h"
#include "terminal_text.h"

namespace {

using dabtool::Args;

const char kUsage[] =
    "usage: dabtool [--data-dir DIR] [--database FILE] [--log-level LEVEL] COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  seed     add a realistic, reproducible set of contacts and groups\n"
    "  list     show the address book as a table\n"
    "  export   export the address book as a DAB or legacy CSV file\n"
    "  import   import a CSV file (all or nothing; --dry-run to try)\n"
    "  restore  read a DAB export back into the address book\n"
    "  delete   delete entries by id, by search or all\n"
    "  undo     put back the address book as it was before the last change\n"
    "  sample   write a sample (template) CSV file\n"
    "  demo     seed, export, write samples and import, with a short report\n"
    "  serve    the address book console in a browser (http://127.0.0.1:8765/)\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR     the data folder (default: $DABUTILS_DATA_ROOT or ./dabdata);\n"
    "                     the library's files are in DIR/http/data\n"
    "  --database FILE    the SQLite address book (default: DIR/addressbook.db)\n"
    "  --log-level LEVEL  show the library's log lines: off (default), error,\n"
    "                     debug, info or all\n"
    "\n"
    "dabtool COMMAND --help tells more. Exit codes: 0 done, 1 failed, 2 usage error.\n";

int logLevelByName(const std::string& name) {
  if (name == "off" || name == "none") return DABPLATFORM_LOG_OFF;
  if (name == "error") return DABPLATFORM_LOG_ERROR;
  if (name == "debug") return DABPLATFORM_LOG_DEBUG;
  if (name == "info") return DABPLATFORM_LOG_INFO;
  if (name == "all" || name == "enter") return DABPLATFORM_LOG_LIBENTER;
  throw dabtool::UsageError("unknown log level '" + name + "': use off, error, debug, info or all");
}

struct Invocation {
  dabtool::GlobalOptions global{"", "", DABPLATFORM_LOG_OFF};
  std::string command;
  Args args;
  bool help = false;
};

// Global options stand before the command; everything after it is the
// command's.
Invocation parseInvocation(const Args& all) {
  Invocation call;
  size_t i = 0;
  for (; i < all.size() && call.command.empty(); ++i) {
    std::string arg = all[i];
    std::string value;
    bool hasValue = false;
    size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
      hasValue = true;
    }
    auto valueOf = [&]() {
      if (hasValue) return value;
      if (i + 1 >= all.size()) {
        throw dabtool::UsageError(arg + " needs a value (see dabtool --help)");
      }
      return all[++i];
    };
    if (arg == "--help" || arg == "-h") {
      call.help = true;
    } else if (arg == "--data-dir") {
      call.global.dataDir = valueOf();
      if (call.global.dataDir.empty()) throw dabtool::UsageError("--data-dir needs a folder name");
    } else if (arg == "--database") {
      call.global.database = valueOf();
    } else if (arg == "--log-level") {
      call.global.logLevel = logLevelByName(valueOf());
    } else if (!arg.empty() && arg[0] == '-') {
      throw dabtool::UsageError("unknown option '" + arg + "' (see dabtool --help)");
    } else {
      call.command = arg;
    }
  }
  call.args.assign(all.begin() + static_cast<long>(i), all.end());
  return call;
}

int dispatch(const Invocation& call) {
  using Runner = int (*)(const dabtool::GlobalOptions&, const Args&);
  static const std::pair<const char*, Runner> kCommands[] = {
      {"seed", dabtool::runSeed},     {"list", dabtool::runList},
      {"export", dabtool::runExport}, {"import", dabtool::runImport},
      {"sample", dabtool::runSample}, {"demo", dabtool::runDemo},
      {"serve", dabtool::runServe},   {"restore", dabtool::runRestore},
      {"delete", dabtool::runDelete}, {"undo", dabtool::runUndo},
  };
  for (const auto& command : kCommands) {
    if (call.command == command.first) return command.second(call.global, call.args);
  }
  throw dabtool::UsageError("unknown command '" + call.command + "' (see dabtool --help)");
}

// What went wrong, on one line: what() may quote a file name or a value
// the person typed, bytes and all.
void printError(const std::string& message) {
  std::fflush(stdout);
  dabtool::printLine(stderr, "dabtool: " + message);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Invocation call = parseInvocation(Args(argv + 1, argv + argc));
    if (call.help || call.command.empty()) {
      std::fputs(kUsage, call.help ? stdout : stderr);
      return call.help ? dabtool::kExitOk : dabtool::kExitUsage;
    }
    int code = dispatch(call);
    std::fflush(stdout);
    return code;
  } catch (const dabtool::UsageError& error) {
    printError(error.what());
    return dabtool::kExitUsage;
  } catch (const dabtool::Failure& error) {
    printError(error.what() + std::string("."));
    return dabtool::kExitFailed;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "dabtool: out of memory.\n");
    return dabtool::kExitFailed;
  } catch (const std::exception& error) {
    printError(error.what() + std::string("."));
    return dabtool::kExitFailed;
  }
}
