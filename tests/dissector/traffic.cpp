// The tool's traffic for the capture the dissector test reads back: a search, the selection of
// a door controller (status, session, device table, every configuration block), a write of its
// configuration with a renamed first passage, the read of a lift controller, and the closing of
// both sessions. Runs inside a tool namespace of a scripts/netns network while zavsim answers.
//   zav_dissector_traffic DOOR LIFT NAME
// Prints "passages N" (the door controller's passage count) and exits 0 when every step worked.
#include <cstdio>
#include <exception>
#include <string>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "link/link.h"
#include "link/posix_udp.h"
#include "link/udpdevset.h"
#include "link/uerr.h"

namespace {

int Find(const zav::UdpDevSet& set, const std::string& name) {
  for (int i = 0; i < set.count; ++i)
    if (zav::DevName(set.devs[i].id) == name) return i;
  return -1;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "traffic: %s\n", what.c_str());
  return 1;
}

int Run(const std::string& door, const std::string& lift, const std::string& name) {
  zav::PosixUdpEndpoint ep;
  zav::SystemClock clock;
  zav::Link::Use(&ep, &clock);
  int rc = 0;
  {
    zav::UdpDevSet set;
    set.Search();
    const int d = Find(set, door);
    const int l = Find(set, lift);
    if (d < 0 || l < 0) return Fail("search did not find " + door + " and " + lift);

    // Selection of the door controller, as the Ethernet panel does it.
    set.selected = d;
    zav::UdpDev& dev = set.devs[d];
    if (!dev.PollStatus()) return Fail(door + " does not answer its status poll");
    zav::BusDeviceTable table;
    table.Read(dev);
    zav::PassageConfig config(table);
    config.Read(dev);
    if (!config.complete) return Fail("configuration of " + door + " not read completely");
    config.SetName(0, name);
    set.Collect(0);  // late discovery replies, as before every write
    if (!config.Write(dev)) return Fail("configuration of " + door + " not writable");
    std::printf("passages %d\n", config.PassageCount());

    set.selected = l;
    zav::UdpDev& liftDev = set.devs[l];
    if (!liftDev.PollStatus()) return Fail(lift + " does not answer its status poll");
    zav::BusDeviceTable liftTable;
    liftTable.Read(liftDev);
    zav::LiftConfig liftConfig(liftTable);
    liftConfig.Read(liftDev);
    if (!liftConfig.complete) rc = Fail("lift configuration of " + lift + " not read");

    set.CloseAll();
    if (dev.session || liftDev.session) rc = Fail("a session stayed open");
  }
  zav::Link::Use(nullptr, nullptr);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: zav_dissector_traffic DOOR LIFT NAME");
  try {
    return Run(argv[1], argv[2], argv[3]);
  } catch (const zav::UErr& e) {
    return Fail(zav::UErrText(e));
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
