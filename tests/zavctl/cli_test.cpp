// zavctl's command line and the report name it proposes.
#include <gtest/gtest.h>

#include "zavctl/cli_args.h"
#include "zavctl/report_name.h"
#include "zavctl/station.h"

namespace zav::ctl {
namespace {

std::string UsageErrorOf(const std::vector<std::string>& argv) {
  try {
    ParseArgs(argv);
  } catch (const UsageError& e) {
    return e.what();
  }
  return "";
}

TEST(ZavctlArgs, OptionsStandAnywhereAndEndAtTwoDashes) {
  CliArgs a = ParseArgs({"restore", "--yes", "K105_00065", "old.zavcfg"});
  EXPECT_EQ(a.command, "restore");
  EXPECT_EQ(a.operands, (std::vector<std::string>{"K105_00065", "old.zavcfg"}));
  EXPECT_TRUE(a.yes);
  a = ParseArgs({"report", "--all", "--location=Hala 2", "-o", "out"});
  EXPECT_TRUE(a.all);
  EXPECT_EQ(a.location, "Hala 2");
  EXPECT_EQ(a.output, "out");
  a = ParseArgs({"diff", "--", "-odd.zavcfg", "b.zavcfg"});
  EXPECT_EQ(a.operands.front(), "-odd.zavcfg");
  EXPECT_TRUE(ParseArgs({"--help"}).help);
}

TEST(ZavctlArgs, MistakesAreUsageErrorsNamingThem) {
  EXPECT_EQ(UsageErrorOf({}), "no command given");
  EXPECT_EQ(UsageErrorOf({"backup", "K105_00065"}), "backup needs -o FILE");
  EXPECT_EQ(UsageErrorOf({"backup", "K105_00065", "-o"}), "-o needs a value");
  EXPECT_EQ(UsageErrorOf({"list", "--yes"}), "list does not take --yes");
  EXPECT_EQ(UsageErrorOf({"show"}), "show: missing operand");
  EXPECT_EQ(UsageErrorOf({"diff", "a", "b", "c"}), "diff: unexpected operand c");
  EXPECT_EQ(UsageErrorOf({"report"}), "report: missing operand");
  EXPECT_EQ(UsageErrorOf({"report", "--all", "K105_00065"}),
            "report: unexpected operand K105_00065");
  EXPECT_EQ(UsageErrorOf({"firmware", "K105_00065", "f.zfu", "--json"}),
            "firmware does not take --json");
  EXPECT_EQ(UsageErrorOf({"upgrade"}), "unknown command upgrade");
  EXPECT_EQ(UsageErrorOf({"list", "--force"}), "unknown option --force");
}

TEST(ZavctlDev, NamesAndAddressesAreTold) {
  EXPECT_TRUE(LooksLikeDev("K105_00065"));
  EXPECT_TRUE(LooksLikeDev("k116_00303"));
  EXPECT_TRUE(LooksLikeDev("10.77.0.11"));
  EXPECT_FALSE(LooksLikeDev("site.zavcfg"));
  EXPECT_FALSE(LooksLikeDev("K105_0006"));
  EXPECT_FALSE(LooksLikeDev("10.77.0"));
}

TEST(ReportName, SeparatorComesFromTheRegionalDateFormat) {
  EXPECT_EQ(DateSeparator("%d.%m.%Y"), '.');      // pl_PL, de_DE
  EXPECT_EQ(DateSeparator("%Y-%m-%d"), '-');      // sv_SE
  EXPECT_EQ(DateSeparator("%m/%d/%y"), '-');      // C, en_US: a slash would make a folder
  EXPECT_EQ(DateSeparator("%d. %m. %Y"), '.');    // cs_CZ: blanks are not separators
  EXPECT_EQ(DateSeparator("%Od.%Om"), '.');     // a modifier is part of the field
  EXPECT_EQ(DateSeparator("%e %B %Y"), '-');      // no separator at all
  EXPECT_EQ(DateSeparator(""), '-');
}

TEST(ReportName, DateBlankAndControllerName) {
  EXPECT_EQ(SuggestedReportName({2021, 5, 7}, '-', 0x31310041), "2021-05-07 K105_00065");
  EXPECT_EQ(SuggestedReportName({2021, 12, 31}, '.', 0x31310041), "2021.12.31 K105_00065");
}

}  // namespace
}  // namespace zav::ctl
