// list and show: what the window's lists and pages show, as text or JSON.
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <ostream>

#include "config/backup_file.h"
#include "config/config_fields.h"
#include "zavctl/commands.h"
#include "zavctl/controller_access.h"

namespace zav::ctl {

namespace {

using Json = nlohmann::ordered_json;

std::string IdHex(DeviceId id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", id);
  return text;
}

Json DevJson(const UdpDev& d) {
  return Json{{"id", DevName(d.id)},
              {"id_hex", IdHex(d.id)},
              {"ip", d.IpText()},
              {"mode", d.mode & 0x03},
              {"mode_name", d.ModeName()}};
}

std::string DevLine(const UdpDev& d) {
  char line[96];
  std::snprintf(line, sizeof line, "%s  %-15s  %s", DevName(d.id).c_str(), d.IpText().c_str(),
                d.ModeName().c_str());
  return line;
}

}  // namespace

std::string NowIso() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  return text;
}

int RunList(Context& c) {
  Station& st = c.Net();
  st.Search();
  UdpDevSet& set = st.set();
  if (c.args.json) {
    Json all = Json::array();
    for (int i = 0; i < set.count; ++i) all.push_back(DevJson(set.devs[i]));
    c.out << all.dump(2) << "\n";
  } else {
    for (int i = 0; i < set.count; ++i) c.out << DevLine(set.devs[i]) << "\n";
  }
  return 0;
}

int RunShow(Context& c) {
  const std::string& what = c.args.operands[0];
  Loaded m;
  Json head;
  std::string headLine;
  if (NamesController(what)) {
    UdpDev& dev = c.Net().Resolve(what);
    LoadController(dev, m);
    head = DevJson(dev);
    headLine = DevLine(dev);
  } else {
    const Backup b = ReadBackupFile(what);
    DecodeBackup(b, m.table, m.doors, m.lift);
    head = Json{{"id", DevName(b.id)},   {"id_hex", IdHex(b.id)},      {"ip", IpText(b.ip)},
                {"mode", b.mode},        {"mode_name", b.modeName},    {"file", what},
                {"created", b.created}};
    headLine = what + ": " + DevName(b.id) + ", " + IpText(b.ip) + ", " + b.modeName + ", " +
               b.created;
  }
  const BusDeviceTable& t = m.table;
  const auto fields = DescribeConfig(t, m.doors, m.lift);
  if (c.args.json) {
    Json j = head;
    j["kind"] = t.controllerKind == 2 ? "lift" : "door";
    j["passages"] = t.passageCount;
    Json devices = Json::array();
    for (int i = 0; i < t.activeCount; ++i) {
      const int pos = t.order[i];
      devices.push_back(Json{{"position", pos},
                             {"id", DevName(t.devices[pos].id)},
                             {"id_hex", IdHex(t.devices[pos].id)},
                             {"line", t.DeviceLine(pos)}});
    }
    j["devices"] = std::move(devices);
    Json config = Json::object();
    for (const FieldText& f : fields) config[f.block][f.field] = f.value;
    j["configuration"] = std::move(config);
    c.out << j.dump(2) << "\n";
    return 0;
  }
  c.out << headLine << "\n\nUrządzenia:\n";
  for (int i = 0; i < t.activeCount; ++i) c.out << "  " << t.DeviceLine(t.order[i]) << "\n";
  std::string block;
  for (const FieldText& f : fields) {
    if (f.block == "Urządzenia") continue;
    if (f.block != block) {
      block = f.block;
      c.out << "\n" << block << ":\n";
    }
    c.out << "  " << f.field << ": " << f.value << "\n";
  }
  return 0;
}

}  // namespace zav::ctl
