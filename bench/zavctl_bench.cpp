// zavctl's backup of a 16-passage controller with 116 bus devices, on the namespace network
// against zavsim, next to a bare socket loop that repeats the same round trips. The backup is
// what "zavctl backup" does once the controller is found: read the table and every block, build
// the file and write it. The flush of the file to the disk is the disk's time, as the waits are
// the network's; the bare loop has no file, so it is measured apart and printed beside.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bare_loop.h"
#include "bench/bench_support.h"
#include "config/backup_file.h"
#include "link/link.h"
#include "link/posix_udp.h"
#include "link/udpdevset.h"
#include "zavctl/controller_access.h"

namespace {

using namespace zav::bench;

double Ms(std::uint64_t ns) {
  return static_cast<double>(ns) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
  zav::SystemClock clock;
  zav::PosixUdpEndpoint udp(zav::kPort);
  RecordingEndpoint rec(udp);
  rec.recording = false;
  zav::Link::Use(&rec, &clock);
  zav::UdpDevSet set;
  set.Search();
  if (set.count < 1) {
    std::fprintf(stderr, "zavctl_backup: no controller found\n");
    return 1;
  }
  zav::UdpDev& dev = set.devs[0];
  const std::string addr = dev.IpText();
  // The measured file goes to memory (tmpfs) when there is one, so that the figure holds the
  // tool's work; replacing a file on a disk file system starts its write-back at once (ext4
  // does on rename), which is the disk's time and is measured with the flush, on /tmp.
  const char* memDir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  const std::string path = std::string(memDir) + "/zavctl-bench-" + std::to_string(getpid());
  const std::string diskPath = "/tmp/zavctl-bench-" + std::to_string(getpid()) + ".zavcfg";

  BareLoop bare;
  if (!bare.ok()) return 1;
  std::vector<double> toolMs, floorMs, readMs, flushMs;
  std::vector<Exchange> lastLog;
  std::size_t fileBytes = 0;
  for (int r = 0; r < runs; ++r) {
    set.CloseAll();
    rec.log.clear();
    rec.recording = true;
    const std::uint64_t t0 = MonoNs();
    zav::ctl::Loaded m;
    zav::ctl::LoadController(dev, m);
    const std::uint64_t tRead = MonoNs();
    const zav::Backup b = zav::BackupFromModel(m.table, m.doors, m.lift, dev.id, dev.ip,
                                               dev.mode & 3, dev.ModeName(), "bench",
                                               "2026-01-01T00:00:00+0000");
    zav::WriteBackupFile(path, b, false);
    const std::uint64_t t1 = MonoNs();
    rec.recording = false;
    toolMs.push_back(Ms(t1 - t0));
    readMs.push_back(Ms(tRead - t0));
    lastLog = rec.log;
    if (m.table.passageCount != 16 || b.blocks.size() != 17) {
      std::fprintf(stderr, "zavctl_backup: %d passages, %zu blocks\n", m.table.passageCount,
                   b.blocks.size());
      return 1;
    }
    if (r == 0) fileBytes = zav::BackupToJson(b).size();

    set.CloseAll();
    const std::uint64_t b0 = MonoNs();
    const std::vector<int> lens = bare.Replay(rec.log);
    floorMs.push_back(Ms(MonoNs() - b0));
    bare.CloseSession(dev.id, addr);
    if (lens.size() != rec.log.size()) {
      std::fprintf(stderr, "zavctl_backup: the bare loop got %zu of %zu replies\n", lens.size(),
                   rec.log.size());
      return 1;
    }
  }
  set.CloseAll();
  {
    // Apart from the runs above, so that the disk's write-back does not slow them down.
    zav::ctl::Loaded m;
    zav::ctl::LoadController(dev, m);
    const zav::Backup b = zav::BackupFromModel(m.table, m.doors, m.lift, dev.id, dev.ip,
                                               dev.mode & 3, dev.ModeName(), "bench", "");
    set.CloseAll();
    for (int r = 0; r < 5; ++r) {
      const std::uint64_t t0 = MonoNs();
      zav::WriteBackupFile(diskPath, b, true);
      flushMs.push_back(Ms(MonoNs() - t0));
    }
  }
  unlink(path.c_str());
  unlink(diskPath.c_str());
  std::string letters;
  for (const Exchange& x : lastLog)
    letters +=
        x.request[3] == 'C' ? static_cast<char>(x.request[10]) : static_cast<char>(x.request[3]);
  const double tool = Median(toolMs), floor = Median(floorMs);
  std::printf(
      "zavctl_backup: %zu round trips (%s); backup %.3f ms (the reads %.3f ms, the file of %zu "
      "bytes %.3f ms), bare loop %.3f ms (medians of %d); the same file written and flushed to "
      "the disk (/tmp) %.3f ms\n",
      lastLog.size(), letters.c_str(), tool, Median(readMs), fileBytes, tool - Median(readMs),
      floor, runs, Median(flushMs));
  std::puts(Summary("zavctl_backup_ms", tool, "ms",
                    "<= 1.2 x bare loop " + std::to_string(floor) + " ms", tool <= 1.2 * floor)
                .c_str());
  std::puts(
      Summary("zavctl_backup_ratio", tool / floor, "x", "<= 1.2", tool <= 1.2 * floor).c_str());
  zav::Link::Use(nullptr, nullptr);
  return 0;
}
