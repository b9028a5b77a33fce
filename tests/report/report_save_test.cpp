// Saving a report over a file the user already keeps: the name may be a link into an archive,
// the file may carry chosen permissions or a write protection.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
}

// Saves as an unprivileged user (in a child as nobody when this test runs as root, for whom
// folder permissions mean nothing). The error text, or "" when the save succeeded.
std::string SaveAsUnprivileged(const fs::path& path, const std::string& bytes) {
  auto save = [&]() -> std::string {
    try {
      SaveReportFile(path.string(), bytes);
      return "";
    } catch (const std::runtime_error& e) {
      return e.what();
    }
  };
  if (::geteuid() != 0) return save();
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "no pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(1);
    const std::string m = save();
    const bool sent = ::write(pipeFds[1], m.data(), m.size()) == static_cast<ssize_t>(m.size());
    _exit(sent ? 0 : 1);
  }
  ::close(pipeFds[1]);
  std::string message;
  char buf[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
    message.append(buf, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? message : "the child failed";
}

// A folder that takes no new file but holds a report anyone may write: the report is not
// rewritten in place (a failure midway would leave half of it), and the user learns why.
TEST_F(ReportSaveTest, NoTemporaryFileMeansTheReportStaysAsItWas) {
  const fs::path path = dir / "r.txt";
  const std::string archived(5000, 'o');
  Put(path, archived);
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);

  const std::string message = SaveAsUnprivileged(path, "new");
  EXPECT_NE(message.find("Nie można zapisać raportu w pliku:\n" + path.string()), std::string::npos)
      << message;
  EXPECT_NE(message.find("nie można utworzyć pliku tymczasowego"), std::string::npos) << message;
  EXPECT_NE(message.find("dotychczasowy plik pozostał bez zmian"), std::string::npos) << message;
  EXPECT_EQ(Slurp(path), archived);
  EXPECT_EQ(Mode(path), 0666u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2)
      << "nothing new beside the report and the archive folder";

  // A new report in such a folder: nothing is made, and the text says only that.
  const std::string fresh = SaveAsUnprivileged(dir / "new.txt", "new");
  EXPECT_NE(fresh.find("raport nie został zapisany."), std::string::npos) << fresh;
  EXPECT_FALSE(fs::exists(dir / "new.txt"));
}

TEST_F(ReportSaveTest, AReportNameAtTheLengthLimitIsSaved) {
  // The new file beside it has a short name of its own, not the report's name and more.
  const fs::path path = dir / (std::string(251, 'r') + ".txt");
  Put(path, "old");
  SaveReportFile(path.string(), "new");
  EXPECT_EQ(Slurp(path), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
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
