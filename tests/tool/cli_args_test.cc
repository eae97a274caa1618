// The command-line parser of dabtool: what it accepts, what it refuses and
// the one-line messages it refuses with.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "args.h"

namespace {

using dabtool::ParsedArgs;
using dabtool::UsageError;
using Strings = std::vector<std::string>;

const std::vector<dabtool::Option> kOptions = {
    {"--limit", true}, {"-o", true}, {"--dry-run", false}, {"--legacy", false}};

ParsedArgs parse(const Strings& args) { return dabtool::parseArgs("list", args, kOptions); }

// The message of the UsageError `run` throws; "" when it throws none.
template <typename Run>
std::string usageMessage(Run run) {
  try {
    run();
  } catch (const UsageError& error) {
    return error.what();
  }
  return "";
}

// --- parseArgs ------------------------------------------------------------

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
}

TEST(CliArgs, RefusedArguments) {
  const std::vector<std::pair<Strings, std::string>> cases = {
      {{"--colour"}, "unknown option '--colour' (see dabtool list --help)"},
      {{"--colour=red"}, "unknown option '--colour' (see dabtool list --help)"},
      {{"-o=x"}, "unknown option '-o=x' (see dabtool list --help)"},
      {{"--LIMIT", "3"}, "unknown option '--LIMIT' (see dabtool list --help)"},
      {{"--limit"}, "--limit needs a value (see dabtool list --help)"},
      {{"a.csv", "-o"}, "-o needs a value (see dabtool list --help)"},
      {{"--dry-run=yes"}, "--dry-run takes no value (see dabtool list --help)"},
      {{"--dry-run="}, "--dry-run takes no value (see dabtool list --help)"}};
  for (const auto& c : cases) {
    EXPECT_EQ(usageMessage([&] { parse(c.first); }), c.second) << testing::PrintToString(c.first);
  }
}

TEST(CliArgs, LookupsOfWhatWasGiven) {
  ParsedArgs parsed = parse({"--limit", "5", "--legacy"});
  EXPECT_TRUE(parsed.has("--limit"));
  EXPECT_FALSE(parsed.has("-o"));
  EXPECT_TRUE(parsed.flag("--legacy"));
  EXPECT_FALSE(parsed.flag("--dry-run"));
  EXPECT_EQ(parsed.value("--limit", "50"), "5");
  EXPECT_EQ(parsed.value("-o", "fallback"), "fallback");
}

// --- expectPositional ---------------------------------------------------------

TEST(CliArgs, PositionalCount) {
  const std::vector<std::pair<Strings, std::string>> cases = {
      {{"a.csv"}, ""},
      {{}, "dabtool import needs the FILE to import (see dabtool import --help)"},
      {{"a.csv", "b.csv"}, "unexpected argument 'b.csv' (see dabtool import --help)"},
      {{"a.csv", "--", "--dry-run"},
       "unexpected argument '--dry-run' (see dabtool import --help)"}};
  for (const auto& [args, message] : cases) {
    ParsedArgs parsed = dabtool::parseArgs("import", args, kOptions);
    EXPECT_EQ(
        usageMessage([&] { dabtool::expectPositional("import", parsed, 1, "the FILE to import"); }),
        message)
        << testing::PrintToString(args);
  }
}

// --- number -----------------------------------------------------------------

TEST(CliArgs, NumbersWithinTheirRange) {
  const std::vector<std::pair<Strings, long>> accepted = {
      {{}, 50}, {{"--limit", "0"}, 0}, {{"--limit", "10"}, 10}, {{"--limit=+7"}, 7}};
  for (const auto& [args, expected] : accepted) {
    EXPECT_EQ(parse(args).number("--limit", 50, 0, 10), expected) << testing::PrintToString(args);
  }
  for (std::string typed : {"-1", "11", "many", "", " 5", "5 ", "1e3", "99999999999999999999"}) {
    ParsedArgs parsed = parse({"--limit", typed});
    EXPECT_EQ(usageMessage([&] { parsed.number("--limit", 50, 0, 10); }),
              "--limit wants a whole number from 0 to 10, not '" + typed + "'");
  }
}

// --- delimiterName --------------------------------------------------------------

TEST(CliArgs, DelimiterNames) {
  const std::vector<std::pair<Strings, std::string>> cases = {
      {{}, "Comma"},
      {{"--delimiter", "Comma"}, "Comma"},
      {{"--delimiter", "cOMMA"}, "Comma"},
      {{"--delimiter", "semicolon"}, "Semicolon"},
      {{"--delimiter=SEMICOLON"}, "Semicolon"},
      {{"--raw-delimiter", "Tab"}, "Tab"},
      {{"--raw-delimiter", "semicolon"}, "semicolon"},
      {{"--raw-delimiter", ""}, ""}};
  for (const auto& [args, expected] : cases) {
    ParsedArgs parsed = dabtool::parseArgs("export", args, dabtool::delimiterOptions());
    EXPECT_EQ(dabtool::delimiterName(parsed), expected) << testing::PrintToString(args);
  }
}

TEST(CliArgs, DelimiterMistakes) {
  const std::string kDelimiterHint =
      ": use Comma or Semicolon (or --raw-delimiter TEXT to pass any text)";
  const std::vector<std::pair<Strings, std::string>> cases = {
      {{"--delimiter", "Tab"}, "unknown delimiter 'Tab'" + kDelimiterHint},
      {{"--delimiter", " Comma"}, "unknown delimiter ' Comma'" + kDelimiterHint},
      {{"--delimiter", "Comma", "--raw-delimiter", "x"},
       "give either --delimiter or --raw-delimiter, not both"},
      {{"--raw-delimiter", "x", "--delimiter", "Tab"},
       "give either --delimiter or --raw-delimiter, not both"}};
  for (const auto& [args, message] : cases) {
    ParsedArgs parsed = dabtool::parseArgs("export", args, dabtool::delimiterOptions());
    EXPECT_EQ(usageMessage([&] { dabtool::delimiterName(parsed); }), message)
        << testing::PrintToString(args);
  }
}

}  // namespace
