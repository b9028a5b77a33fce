// Saving a report over a file the user already keeps: the name may be a link into an archive,
// the file may carry chosen permissions or a write protection.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "config/cfg_report.h"

namespace zav {
namespace {

namespace fs = std::filesystem;

class ReportSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("zav_report_save_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "archive");
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Put(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
  }
  static unsigned Mode(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return st.st_mode & 07777;
  }

  fs::path dir;
};

TEST_F(ReportSaveTest, LinkIntoTheArchiveStaysALinkAndTheArchivedFileGetsTheReport) {
  const fs::path archived = dir / "archive" / "2021-05-07 K105_00066.txt";
  Put(archived, std::string(3000, 'o'));
  const fs::path link = dir / "current.txt";
  fs::create_symlink(archived, link);

  SaveReportFile(link.string(), "new\r\n");

  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(archived), "new\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "archive"), fs::directory_iterator()), 1)
      << "no temporary file is left beside the archived report";
}

TEST_F(ReportSaveTest, ReplacedReportKeepsItsPermissions) {
  const fs::path path = dir / "r.txt";
  Put(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  SaveReportFile(path.string(), "new");
  EXPECT_EQ(Slurp(path), "new");
  EXPECT_EQ(Mode(path), 0640u);

  // The rewrite in place (a folder that takes no new files) keeps them as well.
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
  if (::geteuid() != 0) {
    SaveReportFile(path.string(), "again");
    EXPECT_EQ(Slurp(path), "again");
    EXPECT_EQ(Mode(path), 0604u);
  }
}

TEST_F(ReportSaveTest, WriteProtectedReportIsNotReplaced) {
  // The super-user writes through any protection, as opening the file for writing would.
  if (::geteuid() == 0) GTEST_SKIP() << "write protection does not bind the super-user";
  const fs::path path = dir / "r.txt";
  Put(path, "archived");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_THROW(SaveReportFile(path.string(), "new"), std::runtime_error);
  EXPECT_EQ(Slurp(path), "archived");
  EXPECT_EQ(Mode(path), 0444u);
}

}  // namespace
}  // namespace zav
