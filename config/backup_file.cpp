#include "config/backup_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>


namespace zav {

namespace {

using Json = nlohmann::ordered_json;

[[noreturn]] void Bad(const std::string& what) {
  throw BackupError(what);
}

std::vector<std::uint8_t> FromHex(const std::string& text, const std::string& where) {
  if (text.size() % 2 != 0) Bad(where + ": odd number of hex digits");
  auto nibble = [&](char ch) -> int {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    Bad(where + ": '" + std::string(1, ch) + "' is not a hex digit");
  };
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(nibble(text[i]) * 16 + nibble(text[i + 1])));
  return out;
}

const Json& Member(const Json& obj, const char* key, const std::string& where) {
  auto it = obj.find(key);
  if (it == obj.end()) Bad(where + "\"" + key + "\" is missing");
  return *it;
}

std::string Text(const Json& obj, const char* key, const std::string& where = "") {
  const Json& v = Member(obj, key, where);
  if (!v.is_string()) Bad(where + "\"" + key + "\" must be a text");
  return v.get<std::string>();
}

long long Integer(const Json& obj, const char* key, long long lo, long long hi,
                  const std::string& where = "") {
  const Json& v = Member(obj, key, where);
  if (!v.is_number_integer()) Bad(where + "\"" + key + "\" must be a whole number");
  const long long n = v.is_number_unsigned() && v.get<std::uint64_t>() > 0x7FFFFFFFFFFFFFFFull
                          ? hi + 1
                          : v.get<long long>();
  if (n < lo || n > hi)
    Bad(where + "\"" + key + "\" is " + std::to_string(n) + ", expected " + std::to_string(lo) +
        " to " + std::to_string(hi));
  return n;
}

std::string BlockName(int kind, int index) {
  return "block (kind " + std::to_string(kind) + ", index " + std::to_string(index) + ")";
}

// The blocks a read delivers, in order, for a controller of this kind and passage count.
std::vector<std::pair<int, int>> ExpectedBlocks(int controllerKind, int passages) {
  std::vector<std::pair<int, int>> out;
  if (controllerKind == kLiftKind) {
    out.emplace_back(kLiftKind, 0);
  } else {
    out.emplace_back(kControllerIoKind, 0);
    for (int i = 0; i < passages; ++i) out.emplace_back(controllerKind, i);
  }
  return out;
}

int MinimumLength(int kind) {
  return kind == kControllerIoKind ? kControllerIoReplyMin : kRecordReplyMin;
}

}  // namespace

const char* BackupKindName(int controllerKind) {
  return controllerKind == kLiftKind ? "lift" : "door";
}

Backup BackupFromModel(const BusDeviceTable& table, const PassageConfig& doors,
                       const LiftConfig& lift, DeviceId id, std::uint32_t ip, int mode,
                       const std::string& modeName, const std::string& toolVersion,
                       const std::string& created) {
  Backup b;
  b.toolVersion = toolVersion;
  b.created = created;
  b.id = id;
  b.ip = ip;
  b.mode = mode;
  b.modeName = modeName;
  b.controllerKind = table.controllerKind;
  b.passages = table.passageCount;
  b.busTable = table.raw;
  if (table.passageCount == 0) Bad("no configuration was read from " + DevName(id));
  if (table.controllerKind == kLiftKind) {
    if (!lift.complete || lift.loadedFrom != id) Bad("the lift configuration was not read whole");
    b.blocks = lift.raw;
  } else {
    if (!doors.complete || doors.loadedFrom != id)
      Bad("the passage configuration was not read whole");
    b.blocks = doors.raw;
  }
  // What goes into the file must read back: BackupToJson decodes it with the same checks as
  // a file that comes in, so a backup that would not is never written.
  return b;
}

void DecodeBackup(const Backup& b, BusDeviceTable& table, PassageConfig& doors, LiftConfig& lift) {
  if (b.busTable.size() > static_cast<std::size_t>(kMaxBlock))
    Bad("the bus device table is longer than 1400 bytes");
  if (!table.Decode(b.busTable.data(), static_cast<int>(b.busTable.size())))
    Bad("the bus device table is not one a controller sends (length, count or header)");
  if (table.controllerKind != b.controllerKind || table.passageCount != b.passages) {
    Bad(std::string("the bus device table describes a ") +
        BackupKindName(table.controllerKind) + " controller with " +
        std::to_string(table.passageCount) + " passage(s), the backup says " +
        BackupKindName(b.controllerKind) + " with " + std::to_string(b.passages));
  }
  const auto expected = ExpectedBlocks(b.controllerKind, b.passages);
  if (b.blocks.size() != expected.size()) {
    Bad("the backup holds " + std::to_string(b.blocks.size()) + " configuration blocks, a " +
        BackupKindName(b.controllerKind) + " controller with " + std::to_string(b.passages) +
        " passage(s) has " + std::to_string(expected.size()));
  }
  for (std::size_t n = 0; n < expected.size(); ++n) {
    const RawBlock& raw = b.blocks[n];
    const auto [kind, index] = expected[n];
    if (raw.kind != kind || raw.index != index)
      Bad("block " + std::to_string(n) + " is " + BlockName(raw.kind, raw.index) +
          ", expected " + BlockName(kind, index));
    const int len = static_cast<int>(raw.bytes.size());
    if (len > kMaxBlock) Bad(BlockName(kind, index) + " is longer than 1400 bytes");
    if (len < MinimumLength(kind))
      Bad(BlockName(kind, index) + " has " + std::to_string(len) + " bytes, it needs at least " +
          std::to_string(MinimumLength(kind)));
    bool taken = false;
    if (kind == kControllerIoKind) {
      taken = doors.controllerIo.Decode(raw.bytes.data(), len);
    } else if (kind == kLiftKind) {
      taken = lift.DecodeReply(raw.bytes.data(), len);
    } else {
      std::uint8_t record[kRecordLen];
      taken = DecodeRecordReply(raw.bytes.data(), len, static_cast<std::uint8_t>(kind), 8, record);
      if (taken) doors.passages[index].DecodeImage(record);
    }
    if (!taken) Bad(BlockName(kind, index) + " does not start with the header of its kind");
  }
  table.ClearTaken();
  if (b.controllerKind == kLiftKind) {
    lift.MarkTaken();
    lift.complete = true;
    lift.loadedFrom = b.id;
    lift.raw = b.blocks;
  } else {
    doors.MarkTaken();
    doors.complete = true;
    doors.loadedFrom = b.id;
    doors.loadedCount = b.passages;
    doors.raw = b.blocks;
  }
  table.raw = b.busTable;
}

Backup ParseBackup(std::string_view text) {
  Json j;
  try {
    j = Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& e) {
    // A file cut short ends inside the JSON text.
    Bad(std::string("not a complete JSON document (") + e.what() + ")");
  } catch (const Json::exception& e) {
    // A number too large for any field, for example.
    Bad(std::string("not a usable JSON document (") + e.what() + ")");
  }
  if (!j.is_object()) Bad("not a backup: the top level is not a JSON object");
  auto format = j.find("format");
  if (format == j.end() || !format->is_string() || format->get<std::string>() != kBackupFormat)
    Bad("not a ZavConfig backup: \"format\" is not \"zavconfig-backup\"");
  const Json& version = Member(j, "version", "");
  if (!version.is_number_integer() || version.get<long long>() != kBackupVersion)
    Bad("backup version " + version.dump() + " is not supported; this tool reads version 1");

  Backup b;
  b.toolVersion = Text(j, "tool_version");
  b.created = Text(j, "created");
  const Json& ctl = Member(j, "controller", "");
  if (!ctl.is_object()) Bad("\"controller\" must be an object");
  const std::string idHex = Text(ctl, "id_hex", "controller: ");
  char* end = nullptr;
  errno = 0;
  const unsigned long long id = std::strtoull(idHex.c_str(), &end, 16);
  if (idHex.rfind("0x", 0) != 0 || idHex.size() != 10 || *end != 0 || errno != 0)
    Bad("controller: \"id_hex\" must be 0x and eight hex digits");
  b.id = static_cast<DeviceId>(id);
  if (Text(ctl, "id", "controller: ") != DevName(b.id))
    Bad("controller: \"id\" does not name the controller of \"id_hex\" (" + DevName(b.id) + ")");
  const std::string ip = Text(ctl, "ip", "controller: ");
  b.ip = ParseIp(ip);
  if (IpText(b.ip) != ip) Bad("controller: \"ip\" is not a dotted IPv4 address");
  b.mode = static_cast<int>(Integer(ctl, "mode", 0, 255, "controller: "));
  b.modeName = Text(ctl, "mode_name", "controller: ");

  const std::string kind = Text(j, "kind");
  if (kind == "door") {
    b.controllerKind = 1;
  } else if (kind == "lift") {
    b.controllerKind = kLiftKind;
  } else {
    Bad("\"kind\" is \"" + kind + "\", expected \"door\" or \"lift\"");
  }
  b.passages = static_cast<int>(Integer(j, "passages", 0, 31));
  if (b.controllerKind == kLiftKind ? b.passages != 1
                                    : (b.passages != 2 && b.passages != 8 && b.passages != 16))
    Bad("\"passages\" is " + std::to_string(b.passages) + ", a " + kind +
        " controller has " + (b.controllerKind == kLiftKind ? "1" : "2, 8 or 16"));
  b.busTable = FromHex(Text(j, "bus_table_hex"), "\"bus_table_hex\"");

  const Json& blocks = Member(j, "blocks", "");
  if (!blocks.is_array()) Bad("\"blocks\" must be an array");
  for (std::size_t n = 0; n < blocks.size(); ++n) {
    const std::string where = "blocks[" + std::to_string(n) + "]: ";
    if (!blocks[n].is_object()) Bad(where + "must be an object");
    RawBlock r;
    r.kind = static_cast<std::uint8_t>(Integer(blocks[n], "kind", 0, 255, where));
    r.index = static_cast<std::uint8_t>(Integer(blocks[n], "index", 0, 255, where));
    r.bytes = FromHex(Text(blocks[n], "hex", where), where + "\"hex\"");
    b.blocks.push_back(std::move(r));
  }
  auto table = std::make_unique<BusDeviceTable>();
  PassageConfig doors(*table);
  LiftConfig lift(*table);
  DecodeBackup(b, *table, doors, lift);
  return b;
}

Backup ReadBackupFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BackupError(path + ": cannot open: " + std::strerror(errno));
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) throw BackupError(path + ": cannot read: " + std::strerror(errno));
  try {
    return ParseBackup(s.str());
  } catch (const BackupError& e) {
    throw BackupError(path + ": " + e.what());
  }
}

void WriteBackupFile(const std::string& path, const Backup& b, bool flush) {
  const std::string text = BackupToJson(b);
  const std::string temp = path + ".~" + std::to_string(::getpid());
  auto fail = [&](int err) {
    ::unlink(temp.c_str());
    throw std::runtime_error(path + ": cannot write: " + std::strerror(err));
  };
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw std::runtime_error(path + ": cannot write: " + std::strerror(errno));
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      fail(err);
    }
    done += static_cast<std::size_t>(n);
  }
  // The new file takes the old one's name only once its bytes are on the disk: a crash must
  // not leave an empty backup where a good one was.
  if (flush && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
    const int err = errno;
    ::close(fd);
    fail(err);
  }
  if (::close(fd) != 0) fail(errno);
  if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno);
}

}  // namespace zav
