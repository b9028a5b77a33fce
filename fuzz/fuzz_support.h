// Shared pieces of the fuzz targets: reading a fuzz input as a stream of fields, invariant
// checks that stop the run loudly, the in-memory network every link target talks to, and the
// counters by which the replay tests see how deep the seeds reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "config/bus_device_table.h"
#include "link/cmac.h"
#include "tests/support/scripted_endpoint.h"

namespace zav::fuzz {

// Every target; each has its own fuzzer binary and seed folder named after it.
int FuzzLink(const std::uint8_t* data, std::size_t size);
int FuzzCollect(const std::uint8_t* data, std::size_t size);
int FuzzDeviceTable(const std::uint8_t* data, std::size_t size);
int FuzzRecords(const std::uint8_t* data, std::size_t size);
int FuzzParseIp(const std::uint8_t* data, std::size_t size);
int FuzzTimeText(const std::uint8_t* data, std::size_t size);
int FuzzCp1250(const std::uint8_t* data, std::size_t size);
int FuzzBackup(const std::uint8_t* data, std::size_t size);

struct Target {
  const char* name;
  int (*run)(const std::uint8_t*, std::size_t);
};
const std::vector<Target>& Targets();

// Appends n bytes; used instead of vector::insert, which GCC 12 at -O3 misreads as out of
// bounds when the vector started from a short brace list.
void Append(std::vector<std::uint8_t>& v, const std::uint8_t* p, std::size_t n);
template <typename Range>
void Append(std::vector<std::uint8_t>& v, const Range& r) {
  Append(v, reinterpret_cast<const std::uint8_t*>(std::data(r)), std::size(r));
}

// A broken invariant: prints what broke and aborts, which the fuzzer reports as a crash.
[[noreturn]] void Fail(const char* what, const char* file, int line);
#define ZAV_FUZZ_CHECK(cond) \
  ((cond) ? static_cast<void>(0) : ::zav::fuzz::Fail(#cond, __FILE__, __LINE__))

// Fields taken from the front of a byte range; past its end every read yields zeros.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
  bool Empty() const { return left_ == 0; }
  std::size_t Left() const { return left_; }
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  bool Bit() { return (U8() & 1) != 0; }
  // Up to n bytes; fewer when the input ends.
  std::vector<std::uint8_t> Bytes(std::size_t n);
  std::string Text(std::size_t n);
  // Splits off the next n bytes (or what is left) as a reader of their own.
  Reader Sub(std::size_t n);

 private:
  const std::uint8_t* p_;
  std::size_t left_;
};

// Counters of the deep paths a run reached; the replay tests check that the seeds get there.
struct Reach {
  int sessionsOpened = 0;
  int tablesAccepted = 0;
  int passageReadsComplete = 0;
  int liftReadsComplete = 0;
  int configWrites = 0;
  int signedReplies = 0;     // signed commands that returned a payload
  int controllersAdded = 0;  // Collect answered with a time stamp
  int recordsDecoded = 0;    // passage, lift or controller records taken from a reply
  int replacementPairs = 0;
  int freePoints = 0;
};
Reach& Reached();

// How a scripted reply is framed before it is queued, from the low two bits of its control
// byte. The fixed-up kinds copy what the request expects, so mutations reach the decoders.
enum class Framing : std::uint8_t {
  Raw = 0,        // the bytes as given
  Plain = 1,      // request bytes 0..7, the bytes as payload, a correct checksum
  Signed = 2,     // "MMDC", id, seq, letter | 0x80, the bytes, a correct signature
  BadSigned = 3,  // as Signed, signed with a wrong key
};

// Delays from bits 2-3 of the control byte: inside the first receive window, in the second,
// after the attempt limit, and late enough to reach the next exchange.
inline constexpr std::uint64_t kDelays[4] = {0, 150, 250, 450};

// Builds the datagram a controller would send for a request under the given framing.
std::vector<std::uint8_t> FrameReply(Framing framing, const std::vector<std::uint8_t>& request,
                                     const std::uint8_t* sessionKey,
                                     const std::vector<std::uint8_t>& body);

// The scripted network and clock, installed as the link's own for the life of the object.
class Net {
 public:
  Net();
  ~Net();
  Net(const Net&) = delete;
  Net& operator=(const Net&) = delete;

  testing::FakeClock clock;
  testing::ScriptedEndpoint ep{clock};
};

// True when the bytes are well-formed UTF-8 (the model's texts always are).
bool IsUtf8(const std::string& s);

// Invariants of a table after Decode: counts, the order and its sorting, cleared marks.
void CheckTable(const BusDeviceTable& t);

// Sequence of scripted answers for one request: a count, then per datagram a control byte, a
// 16-bit length and the bytes. Shared by the link target and the seed writer.
struct ScriptedReply {
  Framing framing = Framing::Raw;
  std::uint8_t delayIndex = 0;
  std::vector<std::uint8_t> body;
};
void AppendReplyGroup(std::vector<std::uint8_t>& out, const std::vector<ScriptedReply>& group);

}  // namespace zav::fuzz
