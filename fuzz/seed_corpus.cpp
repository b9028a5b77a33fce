#include "fuzz/seed_corpus.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "config/backup_file.h"
#include "config/passage_config.h"
#include "fuzz/fuzz_support.h"
#include "link/wire.h"

namespace zav::fuzz {

namespace {

using Group = std::vector<ScriptedReply>;

struct Device {
  DeviceId id;
  std::uint8_t a[8];
};

Input TablePayload(std::uint8_t header, const std::vector<Device>& devices) {
  Input p = {static_cast<std::uint8_t>(devices.size()),
             static_cast<std::uint8_t>(devices.size() >> 8),
             header,
             0,
             0,
             0};
  for (const Device& d : devices) {
    p.resize(p.size() + 4);
    PutU32(p.data() + p.size() - 4, d.id);
    Append(p, d.a, 8);
  }
  return p;
}

// A door controller with a reader, an I/O module, an empty slot, a lost and a new reader.
std::vector<Device> DoorDevices() {
  return {
      {0x31310042, {1, 0x00, 4, 4, 8, 2, 0, 0}}, {0x00010010, {2, 0x00, 0, 0, 2, 1, 0, 0}},
      {0x02BC0009, {3, 0x20, 8, 0, 8, 0, 0, 0}}, {0xFFFF0000, {0, 0, 0, 0, 0, 0, 0, 0}},
      {0x00010002, {4, 0x80, 0, 0, 2, 1, 0, 0}}, {0x00010003, {5, 0x10, 0, 0, 2, 1, 0, 0}},
  };
}

std::vector<Device> LiftDevices() {
  return {
      {0x31330050, {1, 0x00, 2, 0, 8, 2, 0, 0}},
      {0x02BE0001, {2, 0x00, 0x82, 0, 4, 0, 0, 0}},
      {0x02BE0002, {3, 0x40, 0x83, 0, 4, 0, 0, 0}},
  };
}

// A 104-byte record with references into DoorDevices, times, flags and a name.
Input Record(std::uint8_t seed) {
  Input r(kRecordLen, 0);
  const std::uint16_t refs[20] = {0x0000, 0x0001, 0xFFFF, 0x0203, 0xFFFF, 0xFFFF, 0xFFFF,
                                  0xFFFF, 0x0080, 0x0001, 0xFFFF, 0x0205, 0xFFFF, 0xFFFF,
                                  0xFFFF, 0xFFFF, 0x0100, 0x0001, 0xFFFF, 0xFFFF};
  for (int i = 0; i < 20; ++i) PutU16(r.data() + 2 * i, refs[i]);
  for (int i = 40; i < 88; ++i) r[i] = static_cast<std::uint8_t>(seed + i);
  r[40] = 0x51;  // type 1, upper bits kept
  r[42] = 0x4F;  // airlocks, handle opening
  r[44] = 200;   // a time beyond 127 half-seconds
  const char name[] =
      "Wej\x9C"
      "cie g\xB3\xF3wne";  // Windows-1250
  for (std::size_t i = 0; i + 1 < sizeof name && i < 15; ++i) r[88 + i] = name[i];
  return r;
}

Input Reply(std::uint8_t kind, std::uint8_t n0, const Input& record) {
  Input r = {kind, n0, 8, 4, 0xDE, 0xAD, 0xBE, 0xEF};
  Append(r, record);
  return r;
}

Input StatusBlock(std::uint8_t mode) {
  Input b(16, 0);
  b[2] = mode;
  b[3] = '1';
  return b;
}

ScriptedReply Plain(Input body, std::uint8_t delay = 0) {
  return {Framing::Plain, delay, std::move(body)};
}
ScriptedReply Signed(Input body, std::uint8_t delay = 0) {
  return {Framing::Signed, delay, std::move(body)};
}
const Input kAck = {6};

// Operations, then the answers in the order the requests go out.
Input LinkInput(const Input& ops, const std::vector<Group>& groups) {
  Input in = {static_cast<std::uint8_t>(ops.size()), static_cast<std::uint8_t>(ops.size() >> 8)};
  Append(in, ops);
  for (const Group& g : groups) AppendReplyGroup(in, g);
  return in;
}

std::vector<Input> LinkSeeds() {
  std::vector<Input> seeds;
  const Group status = {Plain(StatusBlock(0x82))};
  const Group sessionKey = {Plain(Input(16, 0x3C))};
  const Group ack = {Signed(kAck)};

  // A door controller: open, read the table and the configuration, write it, keep alive, close.
  {
    const auto table = TablePayload(0x22, DoorDevices());
    Input io(32, 0xFF);
    PutU16(io.data(), 0x0002);
    seeds.push_back(LinkInput({2, 1, 2, 3, 5, 6, 9, 10}, {{Plain(StatusBlock(2))},
                                                          sessionKey,
                                                          status,
                                                          {Signed(table)},
                                                          status,
                                                          {Signed(Reply(16, 8, io))},
                                                          {Signed(Reply(1, 8, Record(1)))},
                                                          {Signed(Reply(1, 8, Record(2)))},
                                                          status,
                                                          ack,
                                                          ack,
                                                          ack,
                                                          status,
                                                          ack,
                                                          status,
                                                          ack}));
  }
  // A lift controller.
  {
    const auto table = TablePayload(0x41, LiftDevices());
    Input rec = Record(7);
    PutU16(rec.data(), 0x0100);
    PutU16(rec.data() + 2, 0x0201);
    seeds.push_back(LinkInput({3, 1, 2, 3, 7, 8}, {{Plain(StatusBlock(3))},
                                                   sessionKey,
                                                   status,
                                                   {Signed(table)},
                                                   status,
                                                   {Signed(Reply(2, 0x88, rec))},
                                                   status,
                                                   ack}));
  }
  // Refresh, delete, replace, firmware, and the raw commands, with stray and late answers.
  {
    const auto table = TablePayload(0x28, DoorDevices());
    const Input stray = {'M', 'M', 'D', 'O', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    seeds.push_back(
        LinkInput({2,  1,                                         // Serwis, available
                   4,                                             // refresh: K, D
                   11,                                            // delete inactive: O, F
                   12, 0x02, 0x05,                                // replace 2 by 5: O, R
                   13, 1,    2,    3,    4,    5, 6, 7, 8, 0, 0,  // firmware block 0: Y
                   14, 'O',  0,    16,   0,                       // plain O, up to 16 bytes
                   15, 'D',  0,    0x78, 0x05,                    // signed D, up to 1400 bytes
                   16, 1,    4,    1,    2,    3, 4, 0, 3,  // block of 4 bytes for kind 1, index 3
                   0},                                      // status poll
                  {{{Framing::Raw, 0, stray},
                    {Framing::BadSigned, 0, Input(16, 1)},
                    Plain(Input(16, 0x11), 2)},
                   {Signed(table)},
                   status,
                   {Signed(kAck, 1)},
                   status,
                   ack,
                   {Plain(kAck)},
                   {Plain(StatusBlock(0x82))},
                   {Signed(table)},
                   {Signed(Input(1401, 0)), Signed(kAck)},
                   {}}));
  }
  // A session left open by an earlier run, and a wrong signature.
  seeds.push_back(
      LinkInput({2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 3},
                {status, {{Framing::BadSigned, 0, TablePayload(0x22, DoorDevices())}}}));
  return seeds;
}

std::vector<Input> CollectSeeds() {
  std::vector<Input> seeds;
  const auto status = [](Input& in, DeviceId id, std::uint8_t mode, const std::string& from) {
    in.push_back(0x03);
    in.push_back(static_cast<std::uint8_t>(from.size()));
    Append(in, from);
    in.resize(in.size() + 4);
    PutU32(in.data() + in.size() - 4, id);
    Input block = StatusBlock(mode);
    Append(in, block);
  };
  {
    Input in = {0, 0, 1};
    status(in, 0x31310042, 2, "10.0.0.2");
    status(in, 0x35310041, 3, "10.0.0.3");
    status(in, 0x31310042, 0x82, "10.0.0.9");
    const auto own = DiscoveryRequest();
    in.push_back(0x00);
    in.push_back(9);
    for (char c : std::string("10.0.0.1:")) in.push_back(static_cast<std::uint8_t>(c));
    in.push_back(static_cast<std::uint8_t>(own.size()));
    in.push_back(0);
    Append(in, own);
    seeds.push_back(in);
  }
  {
    Input in = {100, 51, 0};
    status(in, 0x30000001, 1, "192.168.1.100");
    status(in, 0x312C0000, 2, "192.168.1.101");
    seeds.push_back(in);
  }
  {
    Input in = {3, 2, 2};
    status(in, 0x31310042, 2, "10.0.0.2");
    seeds.push_back(in);
  }
  return seeds;
}

Input WithLength(const Input& payload, const Input& tail) {
  Input in = {static_cast<std::uint8_t>(payload.size()),
              static_cast<std::uint8_t>(payload.size() >> 8)};
  Append(in, payload);
  Append(in, tail);
  return in;
}

std::vector<Input> DeviceTableSeeds() {
  std::vector<Input> seeds;
  const Input ops = {0x02, 0x01, 0x02, 0,    1,    0x12, 0x05, 0x02, 1,    0,    0x04, 0x00,
                     0x00, 0,    0x00, 0x00, 0x14, 0x03, 0x02, 1,    0x02, 0x05, 0x83, 0x00,
                     3,    0,    1,    0x15, 0x83, 0x02, 0x26, 0x80, 0x00, 0x31, 0x01, 0x00};
  seeds.push_back(WithLength(TablePayload(0x22, DoorDevices()), ops));
  seeds.push_back(WithLength(TablePayload(0x41, LiftDevices()), ops));
  seeds.push_back(WithLength(TablePayload(0x28, {}), {}));
  // The largest table a reply can carry, with many lost and new devices of one type.
  std::vector<Device> many;
  many.push_back({0x31310042, {1, 0, 0x1F, 0x1F, 0x1F, 3, 0, 0}});
  for (int i = 1; i < 116; ++i) {
    const auto serial = static_cast<std::uint32_t>((i * 7919) % 65536);
    many.push_back({0x00010000u | serial,
                    {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i % 2 ? 0x80 : 0x10),
                     0x1F, 0, 0x1F, 3, 0, 0}});
  }
  seeds.push_back(WithLength(TablePayload(0x30, many), ops));
  return seeds;
}

std::vector<Input> RecordSeeds() {
  const Input edits = {0x00, 1,    0x03, 0x01, 1, 0x01, 2,    0x05, 0x02, 0,    0x02,
                       0x01, 0x06, 0,    0x07, 0, 1,    0x08, 0,    1,    0x09, 0,
                       0x90, 0x00, 1,    0x0A, 0, 6,    'B',  'r',  'a',  'm',  'a',
                       '1',  0x0B, 0,    2,    1, 0x05, 3,    1};
  std::vector<Input> seeds;
  Input io(32, 0xFF);
  PutU16(io.data(), 0x0002);
  // The first byte chooses the record (bits 1-0) and the table header (bits 3-2).
  const auto record = [&](std::uint8_t choice, const Input& reply) {
    Input in = {choice};
    Append(in, WithLength(reply, edits));
    seeds.push_back(in);
  };
  for (std::uint8_t header = 0; header < 4; ++header) {
    record(static_cast<std::uint8_t>(header << 2), Reply(1, 8, Record(header)));
  }
  record(0x01 | (3 << 2), Reply(2, 0x88, Record(9)));
  record(0x02, Reply(16, 8, io));
  return seeds;
}

std::vector<Input> TextSeeds(std::initializer_list<const char*> texts) {
  std::vector<Input> seeds;
  for (const char* t : texts) seeds.emplace_back(t, t + std::char_traits<char>::length(t));
  return seeds;
}

// A "C" reply of a 104-byte record with the given header, references none, a name and times.
std::vector<std::uint8_t> RecordReply(std::uint8_t kind, std::uint8_t n0) {
  std::vector<std::uint8_t> r(112, 0xFF);
  r[0] = kind;
  r[1] = n0;
  r[2] = 8;
  r[3] = 4;
  for (int i = 48; i < 112; ++i) r[i] = 0;
  r[8] = 0x00;  // first reference on the controller's point 1
  r[9] = 0x00;
  r[52] = 20;
  r[96] = 'A';
  return r;
}

std::vector<Input> BackupSeeds() {
  Backup door;
  door.toolVersion = "1.4.5";
  door.created = "2026-12-10T05:00:00+0100";
  door.id = 0x31340042;
  door.ip = 0x0A4D000A;
  door.mode = 2;
  door.modeName = "Serwis";
  door.controllerKind = 1;
  door.passages = 2;
  door.busTable = {1, 0, 0x22, 0, 0, 0, 0x42, 0x00, 0x34, 0x31, 1, 0, 4, 4, 8, 2, 0, 0};
  std::vector<std::uint8_t> own(48, 0xFF);
  own[0] = 16;
  own[1] = 8;
  own[2] = 8;
  own[3] = 4;
  door.blocks = {{16, 0, own}, {1, 0, RecordReply(1, 8)}, {1, 1, RecordReply(1, 8)}};
  Backup lift = door;
  lift.controllerKind = 2;
  lift.passages = 1;
  lift.busTable[2] = 0x41;
  lift.blocks = {{2, 0, RecordReply(2, 0x88)}};
  const std::string a = BackupToJson(door);
  const std::string b = BackupToJson(lift);
  std::string v2 = a;
  v2.replace(v2.find("\"version\": 1"), 12, "\"version\": 2");
  std::vector<Input> out;
  for (const std::string& t : {a, b, a.substr(0, a.size() / 2), v2}) out.emplace_back(t.begin(), t.end());
  return out;
}

}  // namespace

std::vector<Input> Seeds(const std::string& target) {
  if (target == "link") return LinkSeeds();
  if (target == "collect") return CollectSeeds();
  if (target == "device_table") return DeviceTableSeeds();
  if (target == "records") return RecordSeeds();
  if (target == "parse_ip") return TextSeeds({"192.168.0.1", "\x0A\x00\x00\x02:45389", "1.2.3"});
  if (target == "time_text") return TextSeeds({"1,5", "63,5", " 2", "-3", "0,4", "12,9x"});
  if (target == "backup") return BackupSeeds();
  if (target == "cp1250") {
    return TextSeeds({"Zażółć gęślą jaźń", "\xAF\xF3\xB3\xE6 \x81\x83\x88\x90\x98",
                      "Przejście nr 1234567", "\xF0\x9F\x98\x80\xC0\xAF\xED\xA0\x80"});
  }
  return {};
}

int WriteSeeds(const std::string& dir) {
  int written = 0;
  for (const Target& t : Targets()) {
    const std::filesystem::path folder = std::filesystem::path(dir) / t.name;
    std::filesystem::create_directories(folder);
    int n = 0;
    for (const Input& in : Seeds(t.name)) {
      char name[32];
      std::snprintf(name, sizeof name, "seed-%02d", n++);
      std::ofstream out(folder / name, std::ios::binary);
      out.write(reinterpret_cast<const char*>(in.data()), static_cast<std::streamsize>(in.size()));
      ++written;
    }
  }
  return written;
}

}  // namespace zav::fuzz
