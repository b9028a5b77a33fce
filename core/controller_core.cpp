#include "core/controller_core.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "config/config_diff.h"
#include "config/config_fields.h"
#include "core/controller_ops.h"
#include "link/firmware.h"
#include "link/link.h"
#include "link/uerr.h"
#include "link/wire.h"

namespace zav::core {

namespace {

constexpr int kKeepAliveTicks = 15;

constexpr const char* kUnknownErrorText = "Nieznany błąd programu.";
constexpr const char* kPairGoneText =
    "Urządzenia na magistrali zmieniły się od wyboru zamiany.\n"
    "Zamiana nie została wysłana; wybierz ją ponownie.";

// Operations that only read may give up at shutdown; a write, a delete, a replacement or an
// upload always finishes, so the controller is never left with half a configuration.
bool Abandonable(Op op) {
  return op == Op::Search || op == Op::Select || op == Op::Tick || op == Op::Run;
}

// Runs steps, turning an error into the event's box text. A general (non-link) error of the
// poll is shown once until a tick gets through again; showOnce carries that rule.
template <class F>
void Guarded(CoreEvent& ev, std::atomic<bool>* showOnce, F&& steps) {
  const auto general = [&](const char* text) {
    if (showOnce != nullptr && !showOnce->exchange(false)) return;
    ev.error = text;
    ev.localText = true;
  };
  try {
    steps();
  } catch (const Cancelled&) {
    throw;
  } catch (const UErr& e) {
    ev.error = UErrText(e);
    ev.localText = false;
  } catch (const std::exception& e) {
    general(e.what());
  } catch (...) {
    general(kUnknownErrorText);
    ev.localText = false;
  }
}

}  // namespace

ControllerCore::ControllerCore(UdpEndpoint& udp, Clock& clock)
    : udp_(udp), state_(std::make_shared<CoreState>()) {
  Link::Use(&udp_, &clock);
  worker_ = std::thread([this] { WorkerLoop(); });
}

ControllerCore::~ControllerCore() {
  Shutdown();
}

void ControllerCore::SetWake(std::function<void()> wake) {
  const std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

void ControllerCore::Search() {
  Enqueue(Request(Op::Search));
}

void ControllerCore::Select(int row) {
  Request r(Op::Select);
  r.row = row;
  Enqueue(std::move(r));
}

void ControllerCore::Tick() {
  Enqueue(Request(Op::Tick));
}

void ControllerCore::WriteDoors(const LoadedConfig& config) {
  Request r(Op::WriteDoors);
  r.config = std::make_shared<const LoadedConfig>(config);
  Enqueue(std::move(r));
}

void ControllerCore::WriteLift(const LoadedConfig& config) {
  Request r(Op::WriteLift);
  r.config = std::make_shared<const LoadedConfig>(config);
  Enqueue(std::move(r));
}

void ControllerCore::DeleteInactive() {
  Enqueue(Request(Op::DeleteInactive));
}

void ControllerCore::Replace(ReplacementPair pair) {
  Request r(Op::Replace);
  r.pair = pair;
  Enqueue(std::move(r));
}

void ControllerCore::Restore(const LoadedConfig& config) {
  Request r(Op::Restore);
  r.config = std::make_shared<const LoadedConfig>(config);
  Enqueue(std::move(r));
}

void ControllerCore::UploadFirmware(std::FILE* file) {
  Request r(Op::Firmware);
  r.file = file;
  Enqueue(std::move(r));
}

void ControllerCore::Run(std::function<void(UdpDevSet&, LoadedConfig&)> step) {
  Request r(Op::Run);
  r.step = std::move(step);
  Enqueue(std::move(r));
}

void ControllerCore::Enqueue(Request r) {
  {
    std::unique_lock lock(mutex_);
    if (!stopping_) {
      bool drop = false;
      if (r.op == Op::Tick) {
        // A tick that is already waiting or running covers this one: ticks never pile up
        // behind a slow network.
        drop = running_ && runningOp_ == Op::Tick;
        for (const Request& q : queue_) drop = drop || q.op == Op::Tick;
      } else if (r.op == Op::Select) {
        // The last click wins over a selection that has not started.
        std::erase_if(queue_, [](const Request& q) { return q.op == Op::Select; });
      }
      if (!drop) {
        queue_.push_back(std::move(r));
        // Woken after the lock is let go, the worker does not wait for it again.
        lock.unlock();
        wakeWorker_.notify_one();
        return;
      }
    }
  }
  if (r.file != nullptr) std::fclose(r.file);
}

std::vector<CoreEvent> ControllerCore::TakeEvents() {
  const std::lock_guard lock(mutex_);
  std::vector<CoreEvent> out;
  out.swap(events_);
  return out;
}

bool ControllerCore::Idle() const {
  const std::lock_guard lock(mutex_);
  return queue_.empty() && !running_ && events_.empty();
}

bool ControllerCore::Selecting() const {
  const std::lock_guard lock(mutex_);
  if (running_ && runningOp_ == Op::Select) return true;
  return std::any_of(queue_.begin(), queue_.end(),
                     [](const Request& q) { return q.op == Op::Select; });
}

bool ControllerCore::Closing() const {
  const std::lock_guard lock(mutex_);
  return stopping_;
}

std::shared_ptr<const CoreState> ControllerCore::State() const {
  const std::lock_guard lock(mutex_);
  return state_;
}

void ControllerCore::WorkerLoop() {
  for (;;) {
    Request r;
    {
      std::unique_lock lock(mutex_);
      wakeWorker_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      r = std::move(queue_.front());
      queue_.pop_front();
      running_ = true;
      runningOp_ = r.op;
      progressWake_ = std::chrono::steady_clock::now();
    }
    try {
      Execute(r);
    } catch (const Cancelled&) {
      // The program is closing: nobody is left to show what this operation reached.
    }
    const std::lock_guard lock(mutex_);
    running_ = false;
  }
}

void ControllerCore::Execute(Request& r) {
  CoreEvent ev;
  ev.op = r.op;
  std::atomic<bool>* showOnce = r.op == Op::Tick ? &showTimerErrors_ : nullptr;
  Guarded(ev, showOnce, [&] {
    switch (r.op) {
      case Op::Search:
        DoSearch(ev);
        break;
      case Op::Select:
        DoSelect(r.row, ev);
        break;
      case Op::Tick:
        DoTick(ev);
        break;
      case Op::WriteDoors:
      case Op::WriteLift:
        DoWrite(r, ev);
        break;
      case Op::DeleteInactive:
        DoDeleteInactive(ev);
        break;
      case Op::Replace:
        DoReplace(r.pair, ev);
        break;
      case Op::Firmware: {
        std::FILE* file = std::exchange(r.file, nullptr);
        DoFirmware(file, ev);
        break;
      }
      case Op::Restore:
        DoRestore(r, ev);
        break;
      case Op::Run:
        ev.listChanged = true;
        if (r.step) r.step(set_, config_);
        break;
    }
  });
  const bool searched = r.op == Op::Search && ev.error.empty();
  Publish(std::move(ev), !searched);
  // The first search selects the first controller of the sorted set, as a click on it would.
  if (searched) SelectFirstIfNone();
}

void ControllerCore::DoSearch(CoreEvent& ev) {
  ev.listChanged = true;
  set_.Search();
}

void ControllerCore::DoSelect(int row, CoreEvent& ev) {
  if (row < 0 || row >= set_.count) return;
  set_.selected = row;
  ev.listChanged = true;
  ev.reloaded = true;
  try {
    SelectController(set_.devs[static_cast<std::size_t>(row)], config_,
                     [this](int done, int total) { Progress(Op::Select, done, total); });
  } catch (const UErr& e) {
    // A controller that did not answer its status keeps the row it had.
    if (e.code == NoAnswer) ev.listChanged = false;
    throw;
  }
}

void ControllerCore::SelectFirstIfNone() {
  if (set_.count <= 0 || (set_.selected >= 0 && set_.selected < set_.count)) return;
  CoreEvent ev;
  ev.op = Op::Select;
  Guarded(ev, nullptr, [&] { DoSelect(0, ev); });
  Publish(std::move(ev));
}

void ControllerCore::DoTick(CoreEvent& ev) {
  if (set_.Collect(0)) {
    ev.listChanged = true;
    SelectFirstIfNone();
  }
  if (set_.count <= 0) return;

  const int sel = set_.selected;
  if (sel >= 0 && sel < set_.count) {
    UdpDev& dev = set_.devs[static_cast<std::size_t>(sel)];
    const bool answered = dev.PollStatus();
    if (dev.changed) ev.listChanged = true;
    if (answered && IsController(dev.id) && config_.table.Refresh(dev)) {
      if (config_.table.passageCount == 0) {
        // The controller sent a table the model rejects: read everything again.
        ev.reloaded = true;
        LoadConfig(dev, config_);
      } else {
        // Same configuration, marked against the new table.
        if (config_.table.controllerKind == 1) config_.doors.MarkTaken();
        if (config_.table.controllerKind == 2) config_.lift.MarkTaken();
        ev.tableChanged = true;
      }
    }
  }

  const int phase = pollPhase_.load();
  pollPhase_.store((phase + 1) % kKeepAliveTicks);
  for (int i = phase; i < set_.count; i += kKeepAliveTicks)
    set_.devs[static_cast<std::size_t>(i)].KeepAlive();

  showTimerErrors_ = true;
}

void ControllerCore::DoWrite(const Request& r, CoreEvent& ev) {
  LoadedConfig written = *r.config;
  const bool doors = r.op == Op::WriteDoors;
  const WriteOutcome out = WriteSelected(set_, written, doors);
  ev.listChanged = out.listChanged;
  ev.refused = out.refused;
  if (ev.refused || written.doors.loadedFrom != config_.doors.loadedFrom ||
      written.lift.loadedFrom != config_.lift.loadedFrom)
    return;
  // What the controller now holds is what was written.
  if (doors)
    config_.doors = written.doors;
  else
    config_.lift = written.lift;
  config_.table.ClearTaken();
  if (config_.table.controllerKind == 1) config_.doors.MarkTaken();
  if (config_.table.controllerKind == 2) config_.lift.MarkTaken();
}

void ControllerCore::DoRestore(const Request& r, CoreEvent& ev) {
  LoadedConfig written = *r.config;
  const WriteOutcome out =
      WriteSelected(set_, written, written.table.controllerKind != kLiftKind);
  ev.listChanged = out.listChanged;
  ev.refused = out.refused;
  if (ev.refused) return;
  UdpDev& dev = set_.devs[static_cast<std::size_t>(set_.selected)];
  ev.reloaded = true;
  LoadConfig(dev, config_);
  ev.verified = true;
  if (SameRecords(written, config_)) return;
  for (const FieldChange& change :
       DiffFields(DescribeConfig(written.table, written.doors, written.lift),
                  DescribeConfig(config_.table, config_.doors, config_.lift)))
    ev.differences.push_back(ChangeLine(change));
  // Records that differ only in what no field shows still differ.
  if (ev.differences.empty()) ev.differences.push_back("bajty rekordów, których nie opisuje żadne pole");
}

void ControllerCore::DoDeleteInactive(CoreEvent& ev) {
  if (set_.Collect(0)) {
    ev.listChanged = true;
    SelectFirstIfNone();
  }
  // One whole tick first; it reports its own errors and never passes one on.
  {
    CoreEvent tick;
    tick.op = Op::Tick;
    Guarded(tick, &showTimerErrors_, [&] { DoTick(tick); });
    Publish(std::move(tick));
  }
  if (set_.selected < 0 || set_.selected >= set_.count) return;
  UdpDev& dev = set_.devs[static_cast<std::size_t>(set_.selected)];
  dev.DeleteInactive();
  ev.reloaded = true;
  LoadConfig(dev, config_);
}

void ControllerCore::DoReplace(ReplacementPair pair, CoreEvent& ev) {
  if (set_.Collect(0)) {
    ev.listChanged = true;
    SelectFirstIfNone();
  }
  if (set_.selected < 0 || set_.selected >= set_.count) return;
  if (!OffersPair(config_.table, pair)) {
    // The table changed since the pair was chosen: the panel is shown again from it.
    ev.tableChanged = true;
    ev.error = kPairGoneText;
    return;
  }
  UdpDev& dev = set_.devs[static_cast<std::size_t>(set_.selected)];
  dev.ReplaceDevice(pair);
  ev.reloaded = true;
  LoadConfig(dev, config_);
}

void ControllerCore::DoFirmware(std::FILE* file, CoreEvent& ev) {
  if (set_.selected < 0 || set_.selected >= set_.count) {
    if (file != nullptr) std::fclose(file);
    return;
  }
  ev.done = zav::UploadFirmware(file, set_.devs[static_cast<std::size_t>(set_.selected)],
                                [this](int done, int total) { Progress(Op::Firmware, done, total); });
  ev.total = ev.done;
}

void ControllerCore::Publish(CoreEvent ev, bool last) {
  auto state = std::make_shared<CoreState>();
  state->set.count = set_.count;
  state->set.selected = set_.selected;
  state->set.devs.assign(set_.devs.begin(), set_.devs.begin() + std::max(set_.count, 0));
  state->config = config_;
  ev.kind = CoreEvent::Kind::Done;
  ev.state = state;
  std::function<void()> wake;
  {
    const std::lock_guard lock(mutex_);
    state_ = std::move(state);
    events_.push_back(std::move(ev));
    // The operation's last result marks the core idle before the front end is woken: the front
    // end then sees the selection ended (and stops showing it as busy) when it takes the result.
    if (last) running_ = false;
    wake = wake_;
  }
  if (wake) wake();
}

void ControllerCore::Progress(Op op, int done, int total) {
  CoreEvent ev;
  ev.op = op;
  ev.kind = CoreEvent::Kind::Progress;
  ev.done = done;
  ev.total = total;
  // The front end shows progress at most once a frame, and only of an operation that lasts:
  // waking it for every block of a fast load costs the load more than the bar is worth.
  const auto now = std::chrono::steady_clock::now();
  std::function<void()> wake;
  {
    const std::lock_guard lock(mutex_);
    if (!events_.empty() && events_.back().kind == CoreEvent::Kind::Progress &&
        events_.back().op == op)
      events_.back() = std::move(ev);
    else
      events_.push_back(std::move(ev));
    if (now - progressWake_ >= kProgressInterval) {
      progressWake_ = now;
      wake = wake_;
    }
  }
  if (wake) wake();
}

void ControllerCore::Shutdown() noexcept {
  {
    const std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    stopping_ = true;
    for (Request& q : queue_)
      if (q.file != nullptr) std::fclose(q.file);
    queue_.clear();
    if (running_ && Abandonable(runningOp_)) udp_.Cancel(true);
  }
  wakeWorker_.notify_all();
  if (worker_.joinable()) worker_.join();
  udp_.Cancel(false);
  CloseSessions();
}

void ControllerCore::CloseSessions() noexcept {
  set_.CloseAll();
  // A close that got no answer is not tried again: the controller forgets the session by
  // itself, and shutdown must not wait for it twice.
  for (UdpDev& dev : set_.devs) dev.session = false;
}

}  // namespace zav::core
