// The text of a backup file. Written by hand rather than through a JSON document: a backup of
// a large controller is tens of kilobytes, and making it must cost little next to reading the
// controller, even on a fast network. ParseBackup reads it back with the JSON library.
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

#include "config/backup_file.h"

namespace zav {

namespace {

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  void Hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    const std::size_t at = out_.size();
    out_.resize(at + 2 * bytes.size() + 2);
    char* p = out_.data() + at;
    *p++ = '"';
    for (std::uint8_t b : bytes) {
      *p++ = digits[b >> 4];
      *p++ = digits[b & 15];
    }
    *p = '"';
  }

  void String(std::string_view text) {
    out_ += '"';
    std::size_t run = 0;  // characters since the last one that needed an escape
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto u = static_cast<unsigned char>(text[i]);
      if (u >= 0x20 && u != '"' && u != '\\') continue;
      out_.append(text.substr(run, i - run));
      run = i + 1;
      if (u == '"' || u == '\\') {
        out_ += '\\';
        out_ += static_cast<char>(u);
      } else {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\u%04x", u);
        out_ += esc;
      }
    }
    out_.append(text.substr(run));
    out_ += '"';
  }

  // "key": at the given depth, after a comma unless it is the first of its object.
  void Key(std::string_view key, int depth, bool first) {
    if (!first) out_ += ',';
    out_ += '\n';
    out_.append(static_cast<std::size_t>(2 * depth), ' ');
    String(key);
    out_ += ": ";
  }
  void Indent(int depth) {
    out_ += '\n';
    out_.append(static_cast<std::size_t>(2 * depth), ' ');
  }
  std::string& out_;
};

std::string IdHex(DeviceId id) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "0x00000000";
  for (int i = 0; i < 8; ++i) text[9 - i] = digits[(id >> (4 * i)) & 15];
  return text;
}

void WriteDevices(Writer& w, const BusDeviceTable& table) {
  w.out_ += '[';
  bool first = true;
  for (int i = 0; i < table.count; ++i) {
    const DeviceId id = table.devices[i].id;
    if (IsEmptySlot(id)) continue;
    if (!first) w.out_ += ',';
    first = false;
    w.Indent(2);
    // Digits and hex digits need no escape.
    char pos[12];
    const auto end = std::to_chars(pos, pos + sizeof pos, i).ptr;
    w.out_.append("{\"position\": ").append(pos, end).append(", \"id_hex\": \"");
    w.out_.append(IdHex(id)).append("\", \"line\": ");
    w.String(table.DeviceLine(i));
    w.out_ += '}';
  }
  if (!first) w.Indent(1);
  w.out_ += ']';
}

// The names of the passages (or the lift) as the pages show them, so that people can tell
// backups apart. Every other field is in the raw blocks; "zavctl show FILE" decodes them all.
void WriteNames(Writer& w, const BusDeviceTable& table, const PassageConfig& doors,
                const LiftConfig& lift) {
  w.out_ += '{';
  if (table.controllerKind == kLiftKind) {
    w.Key("Winda", 2, true);
    w.String(lift.Name());
  } else {
    for (int p = 0; p < doors.PassageCount(); ++p) {
      w.Key("Przejście " + std::to_string(p + 1), 2, p == 0);
      w.String(doors.Name(p));
    }
  }
  w.Indent(1);
  w.out_ += '}';
}

}  // namespace

std::string BackupToJson(const Backup& b) {
  auto table = std::make_unique<BusDeviceTable>();
  PassageConfig doors(*table);
  LiftConfig lift(*table);
  DecodeBackup(b, *table, doors, lift);

  std::string out;
  // Two hex digits per byte, a line per device, a little per block and name: one allocation
  // of about the text's size.
  std::size_t size = 2048 + 2 * b.busTable.size() + 128 * static_cast<std::size_t>(table->count);
  for (const RawBlock& block : b.blocks) size += 64 + 2 * block.bytes.size();
  out.reserve(size);
  Writer w(out);
  out += '{';
  w.Key("format", 1, true);
  w.String(kBackupFormat);
  w.Key("version", 1, false);
  out += std::to_string(kBackupVersion);
  w.Key("tool_version", 1, false);
  w.String(b.toolVersion);
  w.Key("created", 1, false);
  w.String(b.created);
  w.Key("controller", 1, false);
  out += '{';
  w.Key("id", 2, true);
  w.String(DevName(b.id));
  w.Key("id_hex", 2, false);
  w.String(IdHex(b.id));
  w.Key("ip", 2, false);
  w.String(IpText(b.ip));
  w.Key("mode", 2, false);
  out += std::to_string(b.mode);
  w.Key("mode_name", 2, false);
  w.String(b.modeName);
  w.Indent(1);
  out += '}';
  w.Key("kind", 1, false);
  w.String(BackupKindName(b.controllerKind));
  w.Key("passages", 1, false);
  out += std::to_string(b.passages);
  w.Key("bus_table_hex", 1, false);
  w.Hex(b.busTable);
  w.Key("bus_devices", 1, false);
  WriteDevices(w, *table);
  w.Key("blocks", 1, false);
  out += '[';
  for (std::size_t i = 0; i < b.blocks.size(); ++i) {
    if (i > 0) out += ',';
    w.Indent(2);
    out.append("{\"kind\": ").append(std::to_string(b.blocks[i].kind));
    out.append(", \"index\": ").append(std::to_string(b.blocks[i].index)).append(", \"hex\": ");
    w.Hex(b.blocks[i].bytes);
    out += '}';
  }
  if (!b.blocks.empty()) w.Indent(1);
  out += ']';
  w.Key("names", 1, false);
  WriteNames(w, *table, doors, lift);
  w.Indent(0);
  out += "}\n";
  return out;
}

}  // namespace zav
