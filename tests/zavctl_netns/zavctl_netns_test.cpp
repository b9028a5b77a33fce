// zavctl against simulated controllers: firmware uploads, backup and restore, restores to a
// replacement controller, reports of a whole site, and the sessions it leaves behind.
// Environment: ZAV_NETNS (network name), ZAVSIM and ZAVCTL (the programs).
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "link/link.h"
#include "link/posix_udp.h"
#include "link/udpdevset.h"
#include "tests/support/sim_process.h"

namespace zav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testnet::Env;
using testnet::SimProcess;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Zavctl : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0 || Env("ZAV_NETNS").empty() || Env("ZAVCTL").empty())
      GTEST_SKIP() << "needs root and the namespace test network";
    char tmpl[] = "/tmp/zavctl-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (sim_.running()) {
      EXPECT_TRUE(sim_.Stop());
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  void StartSim(const std::vector<std::string>& args = {}) {
    ASSERT_TRUE(sim_.Start(Env("ZAV_NETNS"), Env("ZAVSIM"), args, false));
  }

  // Runs zavctl with args in cwd (the test folder by default); a signal is sent after
  // interruptAfter when given.
  Result Run(const std::vector<std::string>& args, const fs::path& cwd = {},
             std::chrono::milliseconds interruptAfter = 0ms) {
    const fs::path outPath = dir_ / "stdout";
    const fs::path errPath = dir_ / "stderr";
    const std::string ctl = Env("ZAVCTL");
    const std::string where = cwd.empty() ? dir_.string() : cwd.string();
    const pid_t pid = fork();
    if (pid == 0) {
      const int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      if (chdir(where.c_str()) != 0) _exit(126);
      std::vector<std::string> words{ctl};
      words.insert(words.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (auto& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    Result r;
    if (pid < 0) return r;
    if (interruptAfter > 0ms) {
      std::this_thread::sleep_for(interruptAfter);
      kill(pid, SIGINT);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    return r;
  }

  std::string Session(const std::string& dev) { return sim_.Dump().dev[dev]["session"]; }

  // The stored blocks of one controller: "kind index" -> hex.
  std::map<std::string, std::string> Blocks(const std::string& dev) {
    std::map<std::string, std::string> out;
    for (const auto& [key, hex] : sim_.Dump().blocks)
      if (key.rfind(dev + " ", 0) == 0) out[key.substr(dev.size() + 1)] = hex;
    return out;
  }

  fs::path dir_;
  SimProcess sim_;
};

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static const char d[] = "0123456789abcdef";
  std::string s;
  for (auto b : bytes) {
    s += d[b >> 4];
    s += d[b & 15];
  }
  return s;
}

std::vector<std::uint8_t> FirmwareBytes(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 7 + i / 528) & 0xFF);
  return v;
}

void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& v) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(v.data()),
                                           static_cast<std::streamsize>(v.size()));
}

// ---- firmware ----------------------------------------------------------------------------

TEST_F(Zavctl, FirmwareOfThreeBlocksArrivesAsBlocksZeroToTwoWithItsBytes) {
  StartSim();
  const auto fw = FirmwareBytes(3 * 528);
  WriteBytes(dir_ / "fw.zfu", fw);
  // Without --yes it only tells what it would do.
  Result dry = Run({"firmware", "K108_00202", "fw.zfu"});
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_TRUE(Contains(dry.out, "3 blocks")) << dry.out;
  EXPECT_EQ(sim_.Ask("firmware K108_00202"), "END\n");

  Result r = Run({"firmware", "K108_00202", "fw.zfu", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string want;
  for (int b = 0; b < 3; ++b)
    want += "Y " + std::to_string(b) + " " +
            Hex({fw.begin() + b * 528, fw.begin() + (b + 1) * 528}) + "\n";
  EXPECT_EQ(sim_.Ask("firmware K108_00202"), want + "END\n");
  EXPECT_TRUE(Contains(r.err, "block 3 of 3")) << r.err;
}

TEST_F(Zavctl, FirmwareThatIsNotWholeBlocksIsRefusedWithNothingSent) {
  StartSim();
  WriteBytes(dir_ / "fw.zfu", FirmwareBytes(1100));
  WriteBytes(dir_ / "empty.zfu", {});
  Result r = Run({"firmware", "K108_00202", "fw.zfu", "--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "1100 bytes")) << r.err;
  Result e = Run({"firmware", "K108_00202", "empty.zfu", "--yes"});
  EXPECT_EQ(e.status, 1);
  EXPECT_TRUE(Contains(e.err, "0 bytes")) << e.err;
  EXPECT_EQ(sim_.Ask("firmware K108_00202"), "END\n");
  EXPECT_EQ(sim_.Dump().dev["K108_00202"]["firmware-blocks"], "0");
}

TEST_F(Zavctl, FirmwareStopsAtTheFirstBlockNotAcknowledged) {
  StartSim();
  WriteBytes(dir_ / "fw.zfu", FirmwareBytes(3 * 528));
  ASSERT_EQ(sim_.Ask("firmware-nak K108_00202 1"), "ok\n");
  Result r = Run({"firmware", "K108_00202", "fw.zfu", "--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "Błąd nr 7 (r.'Y')")) << r.err;
  EXPECT_TRUE(Contains(r.err, "block 1 of 3 was not acknowledged")) << r.err;
  // Block 2 was never tried.
  const std::string got = sim_.Ask("firmware K108_00202");
  EXPECT_EQ(got.rfind("Y 0 ", 0), 0u);
  EXPECT_FALSE(Contains(got, "Y 2 "));
}

// ---- backup, diff, restore ---------------------------------------------------------------

TEST_F(Zavctl, BackupChangeRestoreGivesTheControllerBackAsItWas) {
  StartSim();
  const auto before = sim_.Dump();
  Result b = Run({"backup", "K108_00202", "-o", "site.zavcfg"});
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(Session("K108_00202"), "none");
  // Someone rewires passage 1's bolt and renames passage 3 on the spot.
  ASSERT_EQ(sim_.Ask("poke K108_00202 1 0 0 0201"), "ok\n");
  ASSERT_EQ(sim_.Ask("poke K108_00202 1 2 88 41"), "ok\n");

  Result d = Run({"diff", "K108_00202", "site.zavcfg"});
  EXPECT_EQ(d.status, 1) << d.err;
  EXPECT_TRUE(Contains(d.out, "Przejście 1, Rygiel: D108_02000:Out3 → Z110_02010:Out1")) << d.out;
  EXPECT_TRUE(Contains(d.out, "Przejście 3, Nazwa przejścia: Arzejście 3 → Przejście 3"))
      << d.out;

  // Without --yes the differences are shown and nothing is written.
  const auto poked = Blocks("K108_00202");
  Result dry = Run({"restore", "K108_00202", "site.zavcfg"});
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_TRUE(Contains(dry.out, "Rygiel")) << dry.out;
  EXPECT_EQ(Blocks("K108_00202"), poked);

  Result r = Run({"restore", "K108_00202", "site.zavcfg", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "equals the backup")) << r.out;
  const auto after = sim_.Dump();
  EXPECT_EQ(after.blocks, before.blocks);
  EXPECT_EQ(after.bus, before.bus);
  EXPECT_EQ(Session("K108_00202"), "none");
  EXPECT_EQ(Run({"diff", "K108_00202", "site.zavcfg"}).status, 0);
}

TEST_F(Zavctl, ALiftIsBackedUpAndRestoredWithItsOneBlock) {
  StartSim();
  const auto before = Blocks("K140_00505");
  ASSERT_EQ(Run({"backup", "K140_00505", "-o", "lift.zavcfg"}).status, 0);
  ASSERT_EQ(sim_.Ask("poke K140_00505 2 0 44 28"), "ok\n");  // unlock time 20 s
  Result r = Run({"restore", "10.77.0.14", "lift.zavcfg", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "Winda, Czas odblokowania przycisków: 20 s → ")) << r.out;
  EXPECT_EQ(Blocks("K140_00505"), before);
  // The lift has no report.
  Result rep = Run({"report", "K140_00505"});
  EXPECT_EQ(rep.status, 1);
  EXPECT_TRUE(Contains(rep.err, "lift controller")) << rep.err;
}

TEST_F(Zavctl, DiffOfTwoFilesNeedsNoNetworkAndTroubleIsTwo) {
  StartSim();
  ASSERT_EQ(Run({"backup", "K108_00202", "-o", "a.zavcfg"}).status, 0);
  ASSERT_EQ(sim_.Ask("poke K108_00202 1 1 0 0201"), "ok\n");
  ASSERT_EQ(Run({"backup", "K108_00202", "-o", "b.zavcfg"}).status, 0);
  EXPECT_EQ(Run({"diff", "a.zavcfg", "a.zavcfg"}).status, 0);
  Result d = Run({"diff", "a.zavcfg", "b.zavcfg"});
  EXPECT_EQ(d.status, 1);
  EXPECT_TRUE(Contains(d.out, "Przejście 2, Rygiel:")) << d.out;
  std::string text = ReadFile(dir_ / "a.zavcfg");
  std::ofstream(dir_ / "cut.zavcfg") << text.substr(0, text.size() / 3);
  Result cut = Run({"diff", "a.zavcfg", "cut.zavcfg"});
  EXPECT_EQ(cut.status, 2);
  EXPECT_TRUE(Contains(cut.err, "cut.zavcfg: not a complete JSON document")) << cut.err;
  // A restore from a damaged file writes nothing.
  const auto blocks = Blocks("K108_00202");
  EXPECT_EQ(Run({"restore", "K108_00202", "cut.zavcfg", "--yes"}).status, 1);
  EXPECT_EQ(Blocks("K108_00202"), blocks);
}

// Three door controllers of two passages: the original, a replacement with the same types at
// the same bus positions (other serial numbers), and one whose lock and reader swapped places.
constexpr const char* kReplacementScenario = R"({
  "devices": [
    { "id": "0x312e0001", "ip": "10.77.0.10", "mode": 2, "kind": "door", "passages": 2,
      "bus": [ { "id": "0x312e0001", "attr": "01 00 04 00 08 02 00 00" },
               { "id": "0x10d20001", "attr": "01 00 01 00 02 00 00 00" },
               { "id": "0x10050002", "attr": "01 00 00 00 01 01 00 00" } ],
      "blocks": [ { "kind": 16, "index": 0, "fields": { "inputs": ["0xffff", "0xffff", "0x0006"] } },
                  { "kind": 1, "index": 0,
                    "fields": { "outputs": ["0x0100"], "inputs": ["0xffff", "0x0100"],
                                "readers": ["0x0200"], "type": 1, "boltTime": 10,
                                "name": "Wejście" } } ] },
    { "id": "0x312e0002", "ip": "10.77.0.11", "mode": 2, "kind": "door", "passages": 2,
      "bus": [ { "id": "0x312e0002", "attr": "01 00 04 00 08 02 00 00" },
               { "id": "0x10d20011", "attr": "01 00 01 00 02 00 00 00" },
               { "id": "0x10050012", "attr": "01 00 00 00 01 01 00 00" } ] },
    { "id": "0x312e0003", "ip": "10.77.0.12", "mode": 3, "kind": "door", "passages": 2,
      "bus": [ { "id": "0x312e0003", "attr": "01 00 04 00 08 02 00 00" },
               { "id": "0x10050021", "attr": "01 00 00 00 01 01 00 00" },
               { "id": "0x10d20022", "attr": "01 00 01 00 02 00 00 00" } ] }
  ]
})";

TEST_F(Zavctl, RestoreToAReplacementNeedsTheSameBusLayout) {
  std::ofstream(dir_ / "scenario.json") << kReplacementScenario;
  StartSim({"--scenario", (dir_ / "scenario.json").string()});
  ASSERT_EQ(Run({"backup", "K102_00001", "-o", "old.zavcfg"}).status, 0);
  const auto original = Blocks("K102_00001");

  Result ok = Run({"restore", "K102_00002", "old.zavcfg", "--yes"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  // Shown with the replacement's own device names.
  EXPECT_TRUE(Contains(ok.out, "Przejście 1, Rygiel: ----- → Z110_00017:Out1")) << ok.out;
  EXPECT_EQ(Blocks("K102_00002"), original);

  const auto untouched = Blocks("K102_00003");
  Result refused = Run({"restore", "10.77.0.12", "old.zavcfg", "--yes"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "Przejście 1, Rygiel: position 1 holds Z110_00001 (type 210) "
                                    "in the backup, R105_00033 (type 5) on the controller"))
      << refused.err;
  EXPECT_TRUE(Contains(refused.err, "Przejście 1, Czujnik otwarcia: position 1")) << refused.err;
  EXPECT_TRUE(Contains(refused.err, "Przejście 1, Czytnik 1: position 2")) << refused.err;
  EXPECT_EQ(Blocks("K102_00003"), untouched);
  for (const char* dev : {"K102_00001", "K102_00002", "K102_00003"})
    EXPECT_EQ(Session(dev), "none") << dev;
}

// ---- reports, list, sessions ----------------------------------------------------------------

TEST_F(Zavctl, ReportAllWritesOneFilePerReadableController) {
  StartSim();
  fs::create_directory(dir_ / "reports");
  Result r = Run({"report", "--all", "-o", "reports", "--location", "Hala 2"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_ / "reports"))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 4u) << r.out << r.err;
  // "YYYY-MM-DD K102_00101.txt" in the C locale's separator.
  const std::vector<std::string> devs = {"K102_00101", "K108_00202", "K108_00404", "K116_00303"};
  for (std::size_t i = 0; i < devs.size(); ++i) {
    EXPECT_EQ(names[i].size(), 25u);
    EXPECT_EQ(names[i].substr(4, 1), "-");
    EXPECT_EQ(names[i].substr(10), " " + devs[i] + ".txt");
  }
  // Blokada, Konfiguracja, the lift and the time recorder are named on standard error.
  for (const char* skipped : {"K102_00606 skipped", "K108_00707 skipped", "K140_00505 skipped",
                              "T120_00808 skipped"})
    EXPECT_TRUE(Contains(r.err, skipped)) << r.err;
  // The single report proposes the same name in the current folder, with the same bytes.
  Result one = Run({"report", "K108_00202", "--location", "Hala 2"});
  EXPECT_EQ(one.status, 0) << one.err;
  const std::string single = ReadFile(dir_ / names[1]);
  EXPECT_EQ(single, ReadFile(dir_ / "reports" / names[1]));
  EXPECT_TRUE(Contains(single, "Kontroler: K108_00202\r\n"));
  EXPECT_TRUE(Contains(single, "Lokalizacja: Hala 2\r\n"));
  for (const auto& dev : devs) EXPECT_EQ(Session(dev), "none") << dev;
}

// Another workstation (the second tool host) opens a session with dev and leaves it open.
bool HoldSessionFromTool2(const std::string& dev) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (!testnet::EnterNetns(Env("ZAV_NETNS") + "-tool2")) _exit(2);
    try {
      SystemClock clock;
      PosixUdpEndpoint udp(kPort);
      Link::Use(&udp, &clock);
      UdpDevSet set;
      set.Search();
      for (int i = 0; i < set.count; ++i) {
        if (DevName(set.devs[i].id) != dev) continue;
        set.devs[i].EnsureSession();
        _exit(0);  // without closing it, as a program that went away
      }
    } catch (...) {
    }
    _exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(Zavctl, ASessionHeldElsewhereIsTheWindowsErrorAndSiteWorkGoesOn) {
  StartSim();
  ASSERT_TRUE(HoldSessionFromTool2("K108_00202"));
  ASSERT_EQ(Session("K108_00202"), "10.77.0.2");
  Result b = Run({"backup", "K108_00202", "-o", "x.zavcfg"});
  EXPECT_EQ(b.status, 1);
  EXPECT_TRUE(Contains(b.err, "Błąd nr 2")) << b.err;
  EXPECT_TRUE(Contains(b.err, "Kontroler ma obcą sesję.")) << b.err;
  Result r = Run({"report", "--all"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "K108_00202 skipped:\nK108_00202, tryb: Serwis.")) << r.err;
  EXPECT_TRUE(Contains(r.out, "K116_00303.txt")) << r.out;
  EXPECT_FALSE(Contains(r.out, "K108_00202")) << r.out;
  // The other workstation's session is left alone.
  EXPECT_EQ(Session("K108_00202"), "10.77.0.2");
}

TEST_F(Zavctl, ListShowsTheSortedSetAsTextAndJson) {
  StartSim();
  Result t = Run({"list"});
  EXPECT_EQ(t.status, 0);
  EXPECT_TRUE(Contains(t.out, "K108_00202  10.77.0.11       Serwis\n")) << t.out;
  Result j = Run({"list", "--json"});
  ASSERT_EQ(j.status, 0);
  const auto all = nlohmann::json::parse(j.out);
  ASSERT_EQ(all.size(), 8u);
  EXPECT_EQ(all[3]["id"], "K108_00202");
  EXPECT_EQ(all[3]["id_hex"], "0x313400ca");
  EXPECT_EQ(all[3]["ip"], "10.77.0.11");
  EXPECT_EQ(all[3]["mode"], 2);
  EXPECT_EQ(all[3]["mode_name"], "Serwis");
  Result missing = Run({"show", "K999_00001"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.err, "no controller K999_00001")) << missing.err;
}

TEST_F(Zavctl, ATakenPortIsNamedAndComparingFilesDoesNotNeedIt) {
  StartSim();
  ASSERT_EQ(Run({"backup", "K108_00202", "-o", "a.zavcfg"}).status, 0);
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(45389);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  Result r = Run({"list"});
  Result files = Run({"diff", "a.zavcfg", "a.zavcfg"});
  Result shown = Run({"show", "a.zavcfg"});
  close(fd);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "UDP port 45389 is in use")) << r.err;
  EXPECT_EQ(files.status, 0) << files.err;
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_TRUE(Contains(shown.out, "  Rygiel: Z110_02010:Out1\n")) << shown.out;
}

TEST_F(Zavctl, AnInterruptedRunClosesItsSession) {
  StartSim();
  // Slow answers stretch the read of sixteen passages over a few seconds.
  ASSERT_EQ(sim_.Ask("fault K116_00303 delay 120"), "ok\n");
  Result r = Run({"backup", "K116_00303", "-o", "x.zavcfg"}, {}, 1200ms);
  EXPECT_EQ(r.status, 130) << r.out << r.err;
  EXPECT_TRUE(Contains(r.err, "interrupted")) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "x.zavcfg"));
  EXPECT_EQ(Session("K116_00303"), "none");
  // The controller can be taken again at once.
  ASSERT_EQ(sim_.Ask("fault K116_00303 off"), "ok\n");
  EXPECT_EQ(Run({"backup", "K116_00303", "-o", "x.zavcfg"}).status, 0);
}

}  // namespace
}  // namespace zav
