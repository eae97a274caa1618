// dabtool's command line, one section per unit.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "args.h"
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
    Strings flags;
    Strings positional;
    bool help;
  };
  const std::vector<Case> cases = {
      {{}, {}, {}, {}, false},
      {{"--limit", "5"}, {{"--limit", "5"}}, {}, {}, false},
      {{"--limit=5"}, {{"--limit", "5"}}, {}, {}, false},
      {{"--limit="}, {{"--limit", ""}}, {}, {}, false},
      {{"--limit=a=b"}, {{"--limit", "a=b"}}, {}, {}, false},
      {{"-o", "out.csv"}, {{"-o", "out.csv"}}, {}, {}, false},
      {{"--limit", "1", "--limit", "2"}, {{"--limit", "2"}}, {}, {}, false},
      {{"--dry-run", "--legacy"}, {}, {"--dry-run", "--legacy"}, {}, false},
      {{"a.csv", "--dry-run", "b.csv"}, {}, {"--dry-run"}, {"a.csv", "b.csv"}, false},
      {{"-", "x"}, {}, {}, {"-", "x"}, false},
      {{"--", "--limit", "-o", "--"}, {}, {}, {"--limit", "-o", "--"}, false},
      {{"--help"}, {}, {}, {}, true},
      {{"-h", "a.csv"}, {}, {}, {"a.csv"}, true}};
  for (const Case& c : cases) {
    ParsedArgs parsed = parse(c.args);
    std::string shown = testing::PrintToString(c.args);
    EXPECT_EQ(parsed.values, c.values) << shown;
    EXPECT_EQ(parsed.flags, c.flags) << shown;
    EXPECT_EQ(parsed.positional, c.positional) << shown;
    EXPECT_EQ(parsed.help, c.help) << shown;
  }
  ParsedArgs parsed = parse({"--limit", "5", "--legacy"});
  EXPECT_TRUE(parsed.has("--limit") && !parsed.has("-o"));
  EXPECT_TRUE(parsed.flag("--legacy") && !parsed.flag("--dry-run"));
  EXPECT_EQ(parsed.value("--limit", "50"), "5");
  EXPECT_EQ(parsed.value("-o", "fallback"), "fallback");
}

TEST(CliArgs, RefusedArguments) {
  const std::string see = " (see dabtool import --help)";
  const std::string hint = ": use Comma or Semicolon (or --raw-delimiter TEXT to pass any text)";
  const std::string both = "give either --delimiter or --raw-delimiter, not both";
  const std::pair<Strings, std::string> cases[] = {
      {{"a.csv"}, ""},
      {{"a.csv", "--colour"}, "unknown option '--colour'" + see},
      {{"a.csv", "--colour=red"}, "unknown option '--colour'" + see},
      {{"a.csv", "-o=x"}, "unknown option '-o=x'" + see},
      {{"a.csv", "--LIMIT", "3"}, "unknown option '--LIMIT'" + see},
      {{"a.csv", "--limit"}, "--limit needs a value" + see},
      {{"a.csv", "-o"}, "-o needs a value" + see},
      {{"a.csv", "--dry-run=yes"}, "--dry-run takes no value" + see},
      {{"a.csv", "--dry-run="}, "--dry-run takes no value" + see},
      {{}, "dabtool import needs the FILE to import" + see},
      {{"a.csv", "b.csv"}, "unexpected argument 'b.csv'" + see},
      {{"a.csv", "--", "--dry-run"}, "unexpected argument '--dry-run'" + see},
      {{"a.csv", "--delimiter", "Tab"}, "unknown delimiter 'Tab'" + hint},
      {{"a.csv", "--delimiter", " Comma"}, "unknown delimiter ' Comma'" + hint},
      {{"a.csv", "--delimiter", "Comma", "--raw-delimiter", "x"}, both},
      {{"a.csv", "--raw-delimiter", "x", "--delimiter", "Tab"}, both}};
  for (const auto& [args, message] : cases) {
    EXPECT_EQ(refusal(args), message) << testing::PrintToString(args);
  }
  for (std::string typed : {"-1", "11", "many", "", " 5", "5 ", "1e3", "99999999999999999999"}) {
    EXPECT_EQ(refusal({"a.csv", "--limit", typed}),
              "--limit wants a whole number from 0 to 10, not '" + typed + "'");
  }
}

TEST(CliArgs, NumbersAndDelimiterNames) {
  const std::pair<Strings, long> numbers[] = {
      {{}, 50}, {{"--limit", "0"}, 0}, {{"--limit", "10"}, 10}, {{"--limit=+7"}, 7}};
  for (const auto& [args, expected] : numbers) {
    EXPECT_EQ(parse(args).number("--limit", 50, 0, 10), expected) << testing::PrintToString(args);
  }
  const std::pair<Strings, std::string> names[] = {{{}, "Comma"},
                                                   {{"--delimiter", "Comma"}, "Comma"},
                                                   {{"--delimiter", "cOMMA"}, "Comma"},
                                                   {{"--delimiter", "semicolon"}, "Semicolon"},
                                                   {{"--delimiter=SEMICOLON"}, "Semicolon"},
                                                   {{"--raw-delimiter", "Tab"}, "Tab"},
                                                   {{"--raw-delimiter", "semicolon"}, "semicolon"},
                                                   {{"--raw-delimiter", ""}, ""}};
  for (const auto& [args, expected] : names) {
    EXPECT_EQ(dabtool::delimiterName(parse(args)), expected) << testing::PrintToString(args);
  }
}

// --- The progress line: silent for short jobs and off a terminal, then one
// line rewritten in place, never more than ten times a second, and wiped.

using std::chrono::milliseconds;
using Time = std::chrono::steady_clock::time_point;

struct Captured {
  Captured() : file(std::tmpfile()) {}
  ~Captured() { std::fclose(file); }
  std::string text() const {
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
    return bytes;
  }
  std::FILE* file;
};

TEST(ProgressLine, ShowsLongJobsOnATerminalOnly) {
  Time now{};
  auto clock = [&now] { return now; };
  Captured terminal, pipe, quick;
  {
    dabtool::ProgressLine shortJob(quick.file, true, "Importing");
    shortJob.update(10, 20);
  }
  EXPECT_EQ(quick.text(), "") << "a short job leaves nothing";
  dabtool::ProgressLine line(terminal.file, true, "Importing", clock);
  dabtool::ProgressLine piped(pipe.file, false, "Importing", clock);
  for (auto [at, done] : {std::pair{900, 100}, {1000, 1200}, {1050, 1300}, {1100, 2000}}) {
    now = Time(milliseconds(at));
    line.update(done, 65000);
    piped.update(done, 65000);
  }
  line.finish();
  piped.finish();
  EXPECT_EQ(terminal.text(),
            "\rImporting: 1,200 of 65,000 records\x1b[K"
            "\rImporting: 2,000 of 65,000 records\x1b[K"
            "\r\x1b[K");
  EXPECT_EQ(pipe.text(), "");
}

}  // namespace
