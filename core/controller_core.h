// The controller-session core: owns the controller set and the selected controller's table and
// configuration, and runs every operation that waits on the network on one worker thread, one
// at a time in the order asked. A front end asks and takes back events; it never waits.
//
// Scheduling: a tick is never queued behind another tick; a selection that has not started is
// replaced by a newer one; writes, deletes, replacements and uploads are never dropped or
// merged; an exchange in flight is never interrupted.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/cancellable_endpoint.h"
#include "core/core_state.h"
#include "link/udpdevset.h"

namespace zav::core {

class ControllerCore {
 public:
  // Makes udp (behind the core's cancellable endpoint) and clock the link's and starts the
  // worker. Both must outlive the core.
  ControllerCore(UdpEndpoint& udp, Clock& clock);
  ~ControllerCore();  // Shutdown()
  ControllerCore(const ControllerCore&) = delete;
  ControllerCore& operator=(const ControllerCore&) = delete;

  // Called on the worker thread whenever events are waiting; the front end moves to its own
  // thread and calls TakeEvents there. Set it before asking for anything.
  void SetWake(std::function<void()> wake);

  void Search();
  void Select(int row);
  void Tick();
  void WriteDoors(const LoadedConfig& config);  // the configuration as it stands, edits included
  void WriteLift(const LoadedConfig& config);
  void DeleteInactive();
  void Replace(ReplacementPair pair);
  // Writes a configuration made from a backup to the selected controller with the write
  // sequence of its kind, then reads the controller again and compares.
  void Restore(const LoadedConfig& config);
  // Takes the open file; its whole 528-byte blocks go to the selected controller.
  void UploadFirmware(std::FILE* file);
  // Runs step on the worker in its turn, with the set and the configuration, then publishes.
  void Run(std::function<void(UdpDevSet&, LoadedConfig&)> step);

  std::vector<CoreEvent> TakeEvents();
  // Nothing queued, nothing running and no event waiting.
  bool Idle() const;
  // A selection is queued or running.
  bool Selecting() const;
  // Shutdown has begun: nothing queued will run any more.
  bool Closing() const;
  // The last published state (never null).
  std::shared_ptr<const CoreState> State() const;
  // Which slots the next whole tick keeps alive (every 15th from this one on), and whether a
  // general tick error would be shown.
  int PollPhase() const { return pollPhase_.load(); }
  bool ShowsTickErrors() const { return showTimerErrors_.load(); }

  // Drops what is queued; a read in flight gives up after its current attempt, a write or an
  // upload finishes; then every session is closed once. No operation starts afterwards.
  void Shutdown() noexcept;

 private:
  struct Request {
    Request() = default;
    explicit Request(Op o) : op(o) {}
    Op op = Op::Search;
    int row = -1;
    std::shared_ptr<const LoadedConfig> config;
    ReplacementPair pair = 0;
    std::FILE* file = nullptr;
    std::function<void(UdpDevSet&, LoadedConfig&)> step;
  };

  void Enqueue(Request r);
  void WorkerLoop();
  void Execute(Request& r);
  // The operations; each fills ev and may throw.
  void DoSearch(CoreEvent& ev);
  void DoSelect(int row, CoreEvent& ev);
  void DoTick(CoreEvent& ev);
  void DoWrite(const Request& r, CoreEvent& ev);
  void DoDeleteInactive(CoreEvent& ev);
  void DoReplace(ReplacementPair pair, CoreEvent& ev);
  void DoFirmware(std::FILE* file, CoreEvent& ev);
  void DoRestore(const Request& r, CoreEvent& ev);
  // A selection inside another operation: the set gained its first controllers.
  void SelectFirstIfNone();
  // Makes the state and ev the front end's to take, and wakes it; last: the operation's final
  // result, after which the worker touches neither the network nor the state.
  void Publish(CoreEvent ev, bool last = false);
  void Progress(Op op, int done, int total);
  void CloseSessions() noexcept;

  CancellableEndpoint udp_;
  UdpDevSet set_;
  LoadedConfig config_;
  std::atomic<int> pollPhase_{0};  // 0..14: which slots get a keep-alive on the next whole tick
  // A general (non-link) tick error is shown once until a tick gets through again.
  std::atomic<bool> showTimerErrors_{true};

  mutable std::mutex mutex_;
  std::condition_variable wakeWorker_;
  std::deque<Request> queue_;
  bool running_ = false;
  Op runningOp_ = Op::Search;
  bool stopping_ = false;
  bool closed_ = false;
  std::vector<CoreEvent> events_;
  // When progress last woke the front end (or the running operation began).
  static constexpr std::chrono::milliseconds kProgressInterval{16};
  std::chrono::steady_clock::time_point progressWake_;
  std::shared_ptr<const CoreState> state_;
  std::function<void()> wake_;
  std::thread worker_;
};

}  // namespace zav::core
