#include "zavctl/controller_access.h"

#include <stdexcept>

#include "link/uerr.h"
#include "link/wire.h"

namespace zav::ctl {

namespace {

constexpr const char* kBadBlockText =
    "Kontroler przysłał niepoprawny blok konfiguracji.\n"
    "Odczytana konfiguracja jest niepełna i nie zostanie zapisana.\n"
    "Wybierz kontroler ponownie, aby odczytać ją jeszcze raz.";

}  // namespace

void LoadController(UdpDev& dev, Loaded& m) {
  m.doors.complete = false;
  m.lift.complete = false;
  m.table->Clear();
  if (!dev.PollStatus()) throw UErr{&dev, NoAnswer, 0};
  if (!IsController(dev.id))
    throw std::runtime_error(DevName(dev.id) + " is not a controller and has no configuration");
  if ((dev.mode & 0x02) == 0) throw UErr{&dev, NotInServiceMode, 0};
  m.table->Read(dev);
  if (m.table->passageCount == 0)
    throw std::runtime_error(DevName(dev.id) +
                             ": the controller sent a bus device table that cannot be used");
  bool complete = false;
  if (m.table->controllerKind == 1) {
    m.doors.Read(dev);
    complete = m.doors.complete;
  } else if (m.table->controllerKind == 2) {
    m.lift.Read(dev);
    complete = m.lift.complete;
  }
  if (!complete) throw std::runtime_error(kBadBlockText);
}

void WriteController(UdpDev& dev, Loaded& m) {
  const bool written =
      m.table->controllerKind == 2 ? m.lift.Write(dev) : m.doors.Write(dev);
  if (!written)
    throw std::runtime_error(DevName(dev.id) + ": the configuration does not fit this controller");
}

}  // namespace zav::ctl
