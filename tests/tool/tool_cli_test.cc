// dabtool's command line, one section per unit.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "args.h"
#include "files_and_text.h"
#include "progress_line.h"

namespace {

// --- The command-line parser of dabtool: what it accepts, what it refuses and
// the one-line messages it refuses with.

using dabtool::ParsedArgs;
using Strings = std::vector<std::string>;

ParsedArgs parse(const Strings& args) {
  std::vector<dabtool::Option> options = dabtool::delimiterOptions();
  options.insert(options.end(),
                 {{"--limit", true}, {"-o", true}, {"--dry-run", false}, {"--legacy", false}});
  return dabtool::parseArgs("import", args, options);
}

// The first refusal of a command that takes these options, one FILE, a
// delimiter and --limit from 0 to 10; "" when it takes `args`.
std::string refusal(const Strings& args) {
  try {
    ParsedArgs parsed = parse(args);
    dabtool::expectPositional("import", parsed, 1, "the FILE to import");
    dabtool::delimiterName(parsed);
    parsed.number("--limit", 50, 0, 10);
  } catch (const dabtool::UsageError& error) {
    return error.what();
  }
  return "";
}

TEST(CliArgs, AcceptedArguments) {
  struct Case {
    Strings args;
    std::map<std::string, std::string> values;
    Strings flags, positional;
    bool help;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {{}, {}, {}, {}, false}, {{"--limit", "5"}, {{"--limit", "5"}}, {}, {}, false},
      {{"--limit=5"}, {{"--limit", "5"}}, {}, {}, false},
      {{"--limit="}, {{"--limit", ""}}, {}, {}, false},
      {{"--limit=a=b"}, {{"--limit", "a=b"}}, {}, {}, false},
      {{"-o", "out.csv"}, {{"-o", "out.csv"}}, {}, {}, false},
      {{"--limit", "1", "--limit", "2"}, {{"--limit", "2"}}, {}, {}, false},
      {{"--dry-run", "--legacy"}, {}, {"--dry-run", "--legacy"}, {}, false},
      {{"a.csv", "--dry-run", "b.csv"}, {}, {"--dry-run"}, {"a.csv", "b.csv"}, false},
      {{"-", "x"}, {}, {}, {"-", "x"}, false},
      {{"--", "--limit", "-o", "--"}, {}, {}, {"--limit", "-o", "--"}, false},
      {{"--help"}, {}, {}, {}, true}, {{"-h", "a.csv"}, {}, {}, {"a.csv"}, true}};
  // clang-format on
  for (const Case& c : cases) {
    ParsedArgs parsed = parse(c.args);
    std::string shown = testing::PrintToString(c.args);
    EXPECT_EQ(parsed.values, c.values) << shown;
    EXPECT_EQ(parsed.flags, c.flags) << shown;
    EXPECT_EQ(parsed.positional, c.positional) << shown;
    EXPECT_EQ(parsed.help, c.help) << shown;
  }
}

TEST(CliArgs, RefusedArgumentsNumbersAndDelimiterNames) {
  const std::string see = " (see dabtool import --help)";
  const std::string hint = ": use Comma or Semicolon (or --raw-delimiter TEXT to pass any text)";
  const std::string both = "give either --delimiter or --raw-delimiter, not both";
  // clang-format off
  const std::pair<Strings, std::string> cases[] = {
      {{"a.csv"}, ""}, {{"a.csv", "--colour"}, "unknown option '--colour'" + see},
      {{"a.csv", "--colour=red"}, "unknown option '--colour'" + see},
      {{"a.csv", "-o=x"}, "unknown option '-o=x'" + see},
      {{"a.csv", "-o"}, "-o needs a value" + see},
      {{"a.csv", "--LIMIT", "3"}, "unknown option '--LIMIT'" + see},
      {{"a.csv", "--limit"}, "--limit needs a value" + see},
      {{"a.csv", "--dry-run=yes"}, "--dry-run takes no value" + see},
      {{"a.csv", "--dry-run="}, "--dry-run takes no value" + see},
      {{}, "dabtool import needs the FILE to import" + see},
      {{"a.csv", "b.csv"}, "unexpected argument 'b.csv'" + see},
      {{"a.csv", "--", "--dry-run"}, "unexpected argument '--dry-run'" + see},
      {{"a.csv", "--delimiter", "Tab"}, "unknown delimiter 'Tab'" + hint},
      {{"a.csv", "--delimiter", " Comma"}, "unknown delimiter ' Comma'" + hint},
      {{"a.csv", "--delimiter", "Comma", "--raw-delimiter", "x"}, both},
      {{"a.csv", "--raw-delimiter", "x", "--delimiter", "Tab"}, both}};
  // clang-format on
  for (const auto& [args, message] : cases) {
    EXPECT_EQ(refusal(args), message) << testing::PrintToString(args);
  }
  // Which numbers pass is the parser's (Text.LinesNumbersSizesAndCounts); here
  // the default and the sentence of a refusal.
  EXPECT_EQ(refusal({"a.csv", "--limit", "11"}),
            "--limit wants a whole number from 0 to 10, not '11'");
  EXPECT_EQ(parse({}).number("--limit", 50, 0, 10), 50);
  EXPECT_EQ(parse({"--limit=+7"}).number("--limit", 50, 0, 10), 7);
  // clang-format off
  const std::pair<Strings, std::string> names[] = {
      {{}, "Comma"}, {{"--delimiter", "Comma"}, "Comma"}, {{"--delimiter", "cOMMA"}, "Comma"},
      {{"--delimiter", "semicolon"}, "Semicolon"}, {{"--delimiter=SEMICOLON"}, "Semicolon"},
      {{"--raw-delimiter", "Tab"}, "Tab"}, {{"--raw-delimiter", "semicolon"}, "semicolon"},
      {{"--raw-delimiter", ""}, ""}};
  // clang-format on
  for (const auto& [args, expected] : names) {
    EXPECT_EQ(dabtool::delimiterName(parse(args)), expected) << testing::PrintToString(args);
  }
}

// --- The progress line: silent for short jobs and off a terminal, then one
// line rewritten in place, never more than ten times a second, and wiped.

using std::chrono::milliseconds;
using Time = std::chrono::steady_clock::time_point;

// What a job of 65,000 records prints, told the records done at times in ms.
std::string shown(bool terminal, std::initializer_list<std::pair<int, int>> done) {
  return testutil::printed([&](std::FILE* out) {
    Time now{};
    dabtool::ProgressLine line(out, terminal, "Importing", [&now] { return now; });
    for (auto [at, records] : done) {
      now = Time(milliseconds(at));
      line.update(records, 65000);
    }
    line.finish();
  });
}

TEST(ProgressLine, ShowsLongJobsOnATerminalOnly) {
  EXPECT_EQ(testutil::printed([](std::FILE* out) {
              dabtool::ProgressLine shortJob(out, true, "Importing");
              shortJob.update(10, 20);
            }),
            "")
      << "a short job leaves nothing";
  const std::initializer_list<std::pair<int, int>> kDone = {
      {900, 100}, {1000, 1200}, {1050, 1300}, {1100, 2000}};
  EXPECT_EQ(shown(true, kDone),
            "\rImporting: 1,200 of 65,000 records\x1b[K\rImporting: 2,000 of 65,000 "
            "records\x1b[K\r\x1b[K");
  EXPECT_EQ(shown(false, kDone), "");
}

}  // namespace
