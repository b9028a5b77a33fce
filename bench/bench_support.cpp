#include "bench/bench_support.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace zav::bench {

std::uint64_t MonoNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double PeakRssMb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void SimEndpoint::Send(const std::string& addr, std::uint16_t, const std::uint8_t* data,
                       std::size_t len) {
  const double t0 = ThreadCpuSeconds();
  ++sends;
  const std::uint64_t now = clock_.nowMs;
  for (auto& c : net_.devices) c->Advance(now);
  auto out = net_.Receive(data, len, sim::Peer{toolIp_, kPort}, ParseIp(addr), now);
  for (auto& o : out) {
    // Keeps the inbox in order of arrival; equal times keep the order they were sent in.
    auto at =
        std::upper_bound(inbox_.begin(), inbox_.end(), o.dueMs,
                         [](std::uint64_t due, const sim::Outgoing& x) { return due < x.dueMs; });
    inbox_.insert(at, std::move(o));
  }
  cpuInside += ThreadCpuSeconds() - t0;
}

int SimEndpoint::Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
                         std::uint16_t& fromPort) {
  const double t0 = ThreadCpuSeconds();
  int n = -1;
  const std::uint64_t limit = clock_.nowMs + static_cast<std::uint64_t>(std::max(waitMs, 0));
  if (!inbox_.empty() && inbox_.front().dueMs <= limit) {
    sim::Outgoing o = std::move(inbox_.front());
    inbox_.pop_front();
    clock_.nowMs = std::max(clock_.nowMs, o.dueMs);
    n = static_cast<int>(std::min(cap, o.bytes.size()));
    std::copy_n(o.bytes.begin(), n, buf);
    fromAddr = IpText(o.from);
    fromPort = kPort;
  } else {
    clock_.nowMs = limit;
  }
  cpuInside += ThreadCpuSeconds() - t0;
  return n;
}

void RecordingEndpoint::Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
                             std::size_t len) {
  const std::uint64_t t0 = MonoNs();
  if (recording) {
    if (firstSendNs == 0) firstSendNs = t0;
    if (lastReturnNs != 0) betweenNs += t0 - lastReturnNs;
  }
  inner_.Send(addr, port, data, len);
  const std::uint64_t t1 = MonoNs();
  socketNs += t1 - t0;
  // The copy kept for the log falls in the wait for the reply, outside the tool's own time.
  if (recording) log.push_back(Exchange{std::vector<std::uint8_t>(data, data + len), addr, -1});
}

void RecordingEndpoint::Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) {
  if (recording) {
    log.push_back(Exchange{std::vector<std::uint8_t>(data, data + len), "255.255.255.255", -1});
    broadcasts.push_back(MonoNs());
  }
  inner_.Broadcast(port, data, len);
}

int RecordingEndpoint::Receive(std::uint8_t* buf, std::size_t cap, int waitMs,
                               std::string& fromAddr, std::uint16_t& fromPort) {
  const std::uint64_t t0 = MonoNs();
  const int n = inner_.Receive(buf, cap, waitMs, fromAddr, fromPort);
  const std::uint64_t t1 = MonoNs();
  socketNs += t1 - t0;
  if (recording) lastReturnNs = t1;
  if (n >= 0 && recording) {
    arrivals.push_back(MonoNs());
    if (!log.empty() && log.back().replyLen < 0) log.back().replyLen = n;
  } else if (n < 0 && waitMs > 0 && recording) {
    quietEnds.push_back(MonoNs());
  }
  return n;
}

std::vector<int> Replayer::Replay(const std::vector<Exchange>& log, const RoundTrip& roundTrip) {
  std::vector<int> lens;
  std::vector<std::uint8_t> reply(kRecvBuffer);
  for (const Exchange& x : log) {
    std::vector<std::uint8_t> req = x.request;
    const bool isSigned = req.size() >= kSignedOverhead && req[3] == 'C';
    if (isSigned) Sign(req);
    const int n = roundTrip(x.to, req, reply.data());
    if (n < 0) break;
    lens.push_back(n);
    // The plain "K" answer carries the value the session key is made from.
    if (!isSigned && req.size() >= 4 && req[3] == 'K' &&
        n == static_cast<int>(16 + kPlainOverhead)) {
      std::memcpy(key_, reply.data() + 8, 16);
      DeriveSessionKey(ctx_, key_);
      seq_ = 0;
    }
  }
  return lens;
}

std::vector<std::uint8_t> Replayer::CloseRequest(DeviceId id) {
  std::vector<std::uint8_t> req(kSignedOverhead);
  BuildSignedFrameBody(id, 0, 's', nullptr, 0, req.data());
  Sign(req);
  return req;
}

void Replayer::Sign(std::vector<std::uint8_t>& req) {
  ctx_.aes.SetKey(key_, sizeof key_);
  PutU16(req.data() + 8, ++seq_);
  FrameSignature(ctx_, req.data(), req.size() - 8, req.data() + req.size() - 8);
}

std::vector<std::uint8_t> FullDoorTable() {
  constexpr int kDevices = 116;
  std::vector<std::uint8_t> t(6 + 12 * kDevices, 0);
  PutU16(t.data(), kDevices);
  t[2] = (1 << 5) | 16;  // door controller, 16 passages
  for (int i = 0; i < kDevices; ++i) {
    std::uint8_t* e = t.data() + 6 + 12 * i;
    const DeviceId id =
        i == 0 ? kFullDoorId : (1u << 28) | (708u << 16) | static_cast<DeviceId>(100 + i);
    PutU32(e, id);
    const std::uint8_t attr[8] = {1, 0, 31, 0, 31, 3, 0, 0};
    std::copy_n(attr, 8, e + 4);
  }
  return t;
}

namespace {

std::string Hex32(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", v);
  return b;
}

// The k-th controller address of the namespace network (10.77.0.10 upwards).
std::string AliasAddr(int k) {
  const int n = 10 + k;
  return "10.77." + std::to_string(n / 256) + "." + std::to_string(n % 256);
}

}  // namespace

std::string LoadScenarioJson() {
  const auto t = FullDoorTable();
  std::string s = "{\"devices\":[{\"id\":\"" + Hex32(kFullDoorId) + "\",\"ip\":\"" + AliasAddr(0) +
                  "\",\"mode\":3,\"kind\":\"door\",\"passages\":16,\"bus\":[";
  const int n = GetU16(t.data());
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* e = t.data() + 6 + 12 * i;
    char attr[17];
    for (int b = 0; b < 8; ++b) std::snprintf(attr + 2 * b, 3, "%02X", e[4 + b]);
    if (i) s += ",";
    s += "{\"id\":\"" + Hex32(GetU32(e)) + "\",\"attr\":\"" + attr + "\"}";
  }
  return s + "]}]}\n";
}

std::string DiscoveryScenarioJson(int n) {
  std::string s = "{\"devices\":[";
  for (int k = 0; k < n; ++k) {
    // Serials run backwards so the answers do not arrive in the set's order.
    const DeviceId id = 0x30000000u | (302u << 16) | static_cast<DeviceId>(5000 - k);
    if (k) s += ",";
    s += "{\"id\":\"" + Hex32(id) + "\",\"ip\":\"" + AliasAddr(k) +
         "\",\"mode\":2,\"kind\":\"door\",\"passages\":2}";
  }
  return s + "]}\n";
}

std::string Summary(const std::string& name, double value, const std::string& unit,
                    const std::string& budget, bool pass) {
  char v[32];
  std::snprintf(v, sizeof v, "%.3f", value);
  return name + ": " + v + " " + unit + " (budget " + budget + ") " + (pass ? "PASS" : "FAIL");
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t m = values.size() / 2;
  return values.size() % 2 ? values[m] : (values[m - 1] + values[m]) / 2;
}

double Percentile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(q * static_cast<double>(values.size()));
  const auto i =
      static_cast<std::size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size())));
  return values[i - 1];
}

std::string AskControl(const std::string& path, const std::string& line) {
  sockaddr_un a{};
  if (path.size() >= sizeof a.sun_path) return {};
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  a.sun_family = AF_UNIX;
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  std::string out;
  const std::string l = line + "\n";
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      write(fd, l.data(), l.size()) == static_cast<ssize_t>(l.size())) {
    // The answer may come in pieces; it is whole at "ok", "END" or an error line.
    char buf[4096];
    while (!(out == "ok\n" || out.ends_with("END\n") ||
             (out.starts_with("error:") && out.ends_with("\n")))) {
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  return out;
}

}  // namespace zav::bench
