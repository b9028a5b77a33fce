// The core's scheduling against the scripted network: ticks never pile up, the last selection
// wins, writes are never dropped and carry what was asked, "Zastąp" only sends a pair the table
// offers, and shutdown drops what waits but closes every session once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/controller_core.h"
#include "core/controller_ops.h"
#include "tests/support/scripted_endpoint.h"
#include "tests/ui_main/sim_net.h"

namespace {

using zav::core::CoreEvent;
using zav::core::Op;
using zav::testing::FakeClock;
using zav::testing::ScriptedEndpoint;
using zav::testing::SimCtl;
using zav::testing::SimNet;

constexpr zav::DeviceId Ctl(unsigned typeNumber, unsigned serial) {
  return 0x30000000u | (typeNumber << 16) | serial;
}

// Holds the worker inside a step until Open(), so requests pile up behind it.
class Latch {
 public:
  void Wait() {
    std::unique_lock lock(m_);
    reached_ = true;
    cv_.notify_all();
    cv_.wait(lock, [this] { return open_; });
  }
  void WaitReached() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return reached_; });
  }
  void Open() {
    const std::lock_guard lock(m_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool reached_ = false;
  bool open_ = false;
};

class CoreTest : public ::testing::Test {
 protected:
  // Runs until the core has nothing left, gathering its finished operations.
  void Drain() {
    for (int i = 0; i < 10000 && !core->Idle(); ++i) {
      Take();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Take();
    ASSERT_TRUE(core->Idle());
  }
  void Take() {
    for (CoreEvent& ev : core->TakeEvents())
      if (ev.kind == CoreEvent::Kind::Done) done.push_back(std::move(ev));
  }
  void Start() {
    core = std::make_unique<zav::core::ControllerCore>(ep, clock);
    core->Search();
    Drain();
    done.clear();
  }
  // Blocks the worker in a step of its own; what is asked meanwhile waits behind it.
  void HoldWorker(Latch& latch) {
    core->Run([&latch](zav::UdpDevSet&, zav::core::LoadedConfig&) { latch.Wait(); });
    latch.WaitReached();
  }
  std::vector<Op> Ops() const {
    std::vector<Op> ops;
    for (const CoreEvent& ev : done) ops.push_back(ev.op);
    return ops;
  }

  FakeClock clock;
  ScriptedEndpoint ep{clock};
  SimNet net{ep};
  std::unique_ptr<zav::core::ControllerCore> core;
  std::vector<CoreEvent> done;
};

TEST_F(CoreTest, TicksDoNotPileUpBehindASlowOperation) {
  SimCtl& c = net.Add(Ctl(305, 66), "10.0.0.2", 2);
  Start();
  Latch latch;
  HoldWorker(latch);
  for (int i = 0; i < 5; ++i) core->Tick();
  latch.Open();
  Drain();
  EXPECT_EQ(Ops(), (std::vector<Op>{Op::Run, Op::Tick}));
  EXPECT_EQ(c.Count('D'), 2);  // the load's and one tick's
}

TEST_F(CoreTest, TheLastSelectionWinsOverOnesNotStarted) {
  net.Add(Ctl(305, 1), "10.0.0.2", 2);
  SimCtl& b = net.Add(Ctl(305, 2), "10.0.0.3", 2);
  SimCtl& c = net.Add(Ctl(305, 3), "10.0.0.4", 2);
  Start();
  Latch latch;
  HoldWorker(latch);
  core->Select(1);
  core->Tick();
  core->Select(2);
  latch.Open();
  Drain();
  EXPECT_EQ(Ops(), (std::vector<Op>{Op::Run, Op::Tick, Op::Select}));
  EXPECT_EQ(b.Count('D'), 0);
  EXPECT_EQ(c.Count('D'), 1);
  EXPECT_EQ(core->State()->set.selected, 2);
}

// The front end is woken with a selection's result when the selection has ended: it takes the
// result and stops showing the selection as under way, with no later wake to do it.
TEST_F(CoreTest, TheWakeWithASelectionsResultFindsTheSelectionEnded) {
  net.Add(Ctl(305, 1), "10.0.0.2", 2);
  net.Add(Ctl(305, 2), "10.0.0.3", 2);
  Start();
  std::mutex m;
  std::vector<bool> selectingAtWake;
  core->SetWake([&] {
    const bool selecting = core->Selecting();
    const std::lock_guard lock(m);
    selectingAtWake.push_back(selecting);
  });
  core->Select(1);
  Drain();
  core->SetWake({});
  ASSERT_EQ(Ops(), std::vector<Op>{Op::Select});
  const std::lock_guard lock(m);
  ASSERT_FALSE(selectingAtWake.empty());
  EXPECT_FALSE(selectingAtWake.back());
}

TEST_F(CoreTest, WritesAreNeitherDroppedNorMergedAndCarryWhatWasAsked) {
  SimCtl& c = net.Add(Ctl(305, 66), "10.0.0.2", 3);
  Start();
  zav::core::LoadedConfig edited = core->State()->config;
  ASSERT_TRUE(edited.doors.complete);
  Latch latch;
  HoldWorker(latch);
  edited.doors.SetName(0, "Pierwsze");
  core->WriteDoors(edited);
  edited.doors.SetName(0, "Drugie");
  core->WriteDoors(edited);
  core->Tick();
  edited.doors.SetName(0, "Trzecie");  // after the last request: never sent
  latch.Open();
  Drain();
  EXPECT_EQ(Ops(), (std::vector<Op>{Op::Run, Op::WriteDoors, Op::WriteDoors, Op::Tick}));
  std::vector<std::string> names;
  for (const auto& [letter, payload] : c.signedSeen)
    if (letter == 'c' && payload[0] == 1 && payload[1] == 0)
      names.emplace_back(reinterpret_cast<const char*>(payload.data() + 2 + 88));
  EXPECT_EQ(names, (std::vector<std::string>{"Pierwsze", "Drugie"}));
  for (const CoreEvent& ev : done) EXPECT_TRUE(ev.error.empty()) << ev.error;
  // What the controller holds now is what was written last.
  EXPECT_EQ(core->State()->config.doors.Name(0), "Drugie");
}

TEST_F(CoreTest, AWriteOfAnotherControllersConfigurationIsRefused) {
  net.Add(Ctl(305, 1), "10.0.0.2", 3);
  SimCtl& b = net.Add(Ctl(305, 2), "10.0.0.3", 3);
  Start();
  const zav::core::LoadedConfig first = core->State()->config;
  core->Select(1);
  core->WriteDoors(first);  // read from the first controller, pressed after choosing the second
  Drain();
  ASSERT_EQ(done.back().op, Op::WriteDoors);
  EXPECT_TRUE(done.back().refused);
  EXPECT_EQ(b.Count('c'), 0);
}

TEST_F(CoreTest, ReplaceSendsOnlyAPairTheTableOffers) {
  SimCtl& c = net.Add(Ctl(305, 66), "10.0.0.2", 2);
  c.bus[1].state = 0x80;
  c.bus.push_back({(1u << 16) | 8u, 0x10, 0, 0, 1});
  Start();
  const zav::ReplacementPair offered = 1 + 256 * 3;
  EXPECT_TRUE(zav::core::OffersPair(core->State()->config.table, offered));
  core->Replace(static_cast<zav::ReplacementPair>(2 + 256 * 3));  // position 2 is not lost
  Drain();
  ASSERT_EQ(done.size(), 1u);
  EXPECT_FALSE(done[0].error.empty());
  EXPECT_TRUE(done[0].tableChanged);
  EXPECT_EQ(c.Count('R'), 0);
  core->Replace(offered);
  Drain();
  EXPECT_EQ(c.Count('R'), 1);
  EXPECT_TRUE(done.back().reloaded);
}

TEST_F(CoreTest, AFailedReloadStillPublishesTheNewTable) {
  SimCtl& c = net.Add(Ctl(305, 66), "10.0.0.2", 2);
  c.bus[1].state = 0x80;
  Start();
  ASSERT_EQ(core->State()->config.table.activeCount, 3);
  // The controller drops the lost device, then answers a passage with a short block.
  c.bus.erase(c.bus.begin() + 1);
  c.shortConfig[1] = 40;
  core->DeleteInactive();
  Drain();
  ASSERT_EQ(done.back().op, Op::DeleteInactive);
  EXPECT_EQ(done.back().error, zav::core::kBadBlockText);
  EXPECT_TRUE(done.back().reloaded);
  EXPECT_EQ(done.back().state->config.table.activeCount, 2);
  EXPECT_FALSE(done.back().state->config.doors.complete);
}

// A restore writes with the write sequence of its kind, reads the controller again and says
// whether it holds what was written; the scripted controller keeps its own records.
TEST_F(CoreTest, RestoreReadsBackAndReportsWhatDiffers) {
  SimCtl& c = net.Add(Ctl(305, 66), "10.0.0.2", 3);
  Start();
  zav::core::LoadedConfig restore = core->State()->config;
  core->Restore(restore);
  Drain();
  ASSERT_EQ(done.back().op, Op::Restore);
  EXPECT_TRUE(done.back().error.empty()) << done.back().error;
  EXPECT_TRUE(done.back().verified);
  EXPECT_TRUE(done.back().differences.empty());
  EXPECT_EQ(c.Count('c'), 3);
  EXPECT_EQ(c.Count('C'), 6);  // the load's and the read-back's

  restore.doors.SetName(1, "Brama");
  core->Restore(restore);
  Drain();
  ASSERT_TRUE(done.back().verified);
  ASSERT_EQ(done.back().differences.size(), 1u);
  EXPECT_NE(done.back().differences[0].find("Brama"), std::string::npos)
      << done.back().differences[0];
  EXPECT_EQ(c.Count('c'), 6);
}

TEST_F(CoreTest, ShutdownDropsWhatWaitsAndClosesEverySessionOnce) {
  SimCtl& a = net.Add(Ctl(305, 1), "10.0.0.2", 2);
  SimCtl& b = net.Add(Ctl(305, 2), "10.0.0.3", 2);
  Start();
  core->Select(1);
  Drain();
  Latch latch;
  HoldWorker(latch);
  core->Select(0);
  core->Tick();
  std::thread closer([this] { core->Shutdown(); });
  // The step in flight ends only once the shutdown has dropped what waits behind it.
  while (!core->Closing()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  latch.Open();
  closer.join();
  EXPECT_EQ(a.Count('s'), 1);
  EXPECT_EQ(b.Count('s'), 1);
  EXPECT_EQ(a.Count('D'), 1);  // the queued selection never ran
  core->Select(1);             // nothing starts after shutdown
  core->Tick();
  core.reset();
  EXPECT_EQ(b.Count('D'), 1);
  EXPECT_EQ(a.Count('s'), 1);
}

}  // namespace
