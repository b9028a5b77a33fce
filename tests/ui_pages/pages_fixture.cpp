#include "tests/ui_pages/pages_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <cstring>
#include <stdexcept>

#include "core/controller_ops.h"
#include "link/link.h"
#include "link/uerr.h"

bool TestHost::Guarded(const std::function<void()>& steps) {
  try {
    steps();
    return true;
  } catch (const zav::UErr& e) {
    errors.push_back(QString::fromStdString(zav::UErrText(e)));
  } catch (const std::exception& e) {
    errors.push_back(QString::fromUtf8(e.what()));
  }
  return false;
}

void TestHost::Attach(TConfigPages& pages) {
  QObject::connect(&pages, &TConfigPages::writeRequested, [this](int kind) { WriteConfig(kind); });
  QObject::connect(&pages, &TConfigPages::errorRaised,
                   [this](const QString& text) { errors.push_back(text); });
  QObject::connect(&pages, &TConfigPages::helpRequested, [this] { ++helpClicks; });
  QObject::connect(&pages, &TConfigPages::reportRequested, [this] { ++reportClicks; });
}

int TestHost::SelectedMode() const {
  if (set.selected < 0 || set.selected >= set.count) return -1;
  return set.devs[static_cast<std::size_t>(set.selected)].mode;
}

void TestHost::WriteConfig(int kind) {
  zav::core::LoadedConfig written;
  written.table = *table;
  written.doors = *doors;
  written.lift = *lift;
  zav::core::WriteOutcome out;
  const bool ok = Guarded([&] { out = zav::core::WriteSelected(set, written, kind == 1); });
  if (out.listChanged) ++ethFills;
  if (ok && out.refused) errors.push_back(QString::fromUtf8(kIncompleteText));
}

namespace pagetest {

namespace {
void Entry(std::vector<std::uint8_t>& t, zav::DeviceId id, std::array<std::uint8_t, 8> a) {
  std::uint8_t b[4];
  zav::PutU32(b, id);
  t.insert(t.end(), b, b + 4);
  t.insert(t.end(), a.begin(), a.end());
}
void PutRefs(std::vector<std::uint8_t>& v, const zav::IoRef* r, int n) {
  for (int i = 0; i < n; ++i) {
    v.push_back(static_cast<std::uint8_t>(r[i]));
    v.push_back(static_cast<std::uint8_t>(r[i] >> 8));
  }
}
}  // namespace

std::vector<std::uint8_t> DeviceTable(std::uint8_t header) {
  std::vector<std::uint8_t> t = {4, 0, header, 0, 0, 0};
  Entry(t, kCtlId, {1, 0, 4, 0, 8, 0, 0, 0});
  Entry(t, kModuleId, {2, 0, 0, 8, 8, 0, 0, 0});
  Entry(t, kReaderId, {3, 0, 1, 0, 2, 1, 0, 0});
  Entry(t, kLiftModId, {4, 0, 0x82, 0, 4, 2, 0, 0});
  return t;
}

std::vector<std::uint8_t> RecordReply(std::uint8_t kind, std::uint8_t n0, const Refs8& outs,
                                      const Refs8& ins, const Refs4& rds,
                                      const std::array<std::uint8_t, 64>& params) {
  std::vector<std::uint8_t> v = {kind, n0, 8, 4, 0xA1, 0xA2, 0xA3, 0xA4};
  PutRefs(v, outs.data(), 8);
  PutRefs(v, ins.data(), 8);
  PutRefs(v, rds.data(), 4);
  v.insert(v.end(), params.begin(), params.end());
  return v;
}

std::vector<std::uint8_t> ControllerReply(const Refs8& outs, const Refs8& ins) {
  std::vector<std::uint8_t> v = {16, 8, 8, 4, 0, 0, 0, 0};
  PutRefs(v, outs.data(), 8);
  PutRefs(v, ins.data(), 8);
  return v;
}

}  // namespace pagetest

using namespace pagetest;

PagesTest::PagesTest() {
  zav::Link::Use(&ep, &clock);
  host.table = &table;
  host.doors = &doors;
  host.lift = &lift;
  host.Attach(*pages);
  pages->resize(716, 641);
  pages->show();

  // Passage 1: bolt and alarm on the module, door sensor on the module, reader port of the
  // reader; named, type "Normalne", 5 s and 10 s, handle opening, no airlock.
  params0[0] = 0x01;
  params0[1] = 0x5A;  // bytes the tool does not interpret
  params0[2] = 0x47;
  params0[4] = 10;
  params0[6] = 20;
  params0[9] = 0x33;
  std::memcpy(&params0[48], "Wejscie", 7);
}

PagesTest::~PagesTest() {
  pages.reset();
  for (auto& d : host.set.devs) d.session = false;  // nothing to close on the scripted net
  zav::Link::Use(nullptr, nullptr);
}

void PagesTest::SetMode(std::uint8_t mode) {
  Dev().mode = mode;
  pages->SetSelectedMode(host.SelectedMode());
}

void PagesTest::LoadDoors(int passages, std::uint8_t mode, bool skipPassage1) {
  const std::uint8_t header = static_cast<std::uint8_t>(0x20 | passages);
  const auto dt = DeviceTable(header);
  ASSERT_TRUE(table.Decode(dt.data(), static_cast<int>(dt.size())));
  ctl.mode = mode;
  ctl.blocks[{16, 0}] =
      ControllerReply({0x0000, N, N, N, N, N, N, N}, {0x0000, 0x0001, N, N, N, N, N, N});
  ctl.blocks[{1, 0}] = RecordReply(1, 8, {0x0100, N, 0x0101, N, N, N, N, N},
                                   {N, 0x0105, N, N, N, N, N, N}, {0x0200, N, N, N}, params0);
  std::array<std::uint8_t, 64> other{};
  other[0] = 2;
  other[4] = 7;
  other[6] = 9;
  std::memcpy(&other[48], "Drugie", 6);
  for (int i = 1; i < passages; ++i) {
    if (i == 1 && skipPassage1) continue;
    ctl.blocks[{1, i}] =
        RecordReply(1, 8, {N, N, N, N, N, N, N, N}, {N, N, N, N, N, N, N, N}, {N, N, N, N}, other);
  }
  if (host.set.count == 0) {
    ASSERT_TRUE(host.set.Add(kCtlId, 0x0A000005, mode));
  }
  host.set.selected = 0;
  SetMode(mode);
  Dev().available = true;
  Dev().session = true;
  std::memcpy(Dev().key, ctl.key, 16);
  doors.Read(Dev());
  pages->ShowPages();
}

void PagesTest::LoadLift(std::uint8_t mode) {
  const auto dt = DeviceTable(0x41);
  ASSERT_TRUE(table.Decode(dt.data(), static_cast<int>(dt.size())));
  ctl.mode = mode;
  std::array<std::uint8_t, 64> p{};
  p[4] = 6;
  p[20] = 0x77;
  std::memcpy(&p[48], "Winda A", 7);
  ctl.blocks[{2, 0}] = RecordReply(2, 0x88, {0x0300, N, N, N, N, N, N, N},
                                   {0x0004, N, N, 0x0301, N, N, N, N}, {0x0301, N, N, N}, p);
  if (host.set.count == 0) {
    ASSERT_TRUE(host.set.Add(kCtlId, 0x0A000005, mode));
  }
  host.set.selected = 0;
  SetMode(mode);
  Dev().available = true;
  Dev().session = true;
  std::memcpy(Dev().key, ctl.key, 16);
  lift.Read(Dev());
  pages->ShowPages();
}

QStringList PagesTest::Items(const QComboBox* sel) {
  QStringList out;
  for (int i = 0; i < sel->count(); ++i) out << sel->itemText(i);
  return out;
}

std::vector<zav::IoRef> PagesTest::Refs(const QComboBox* sel) {
  std::vector<zav::IoRef> out;
  for (int i = 0; i < sel->count(); ++i)
    out.push_back(static_cast<zav::IoRef>(sel->itemData(i, Qt::UserRole).toUInt()));
  return out;
}

bool PagesTest::Offers(const QComboBox* sel, zav::IoRef ref) {
  for (zav::IoRef r : Refs(sel))
    if (r == ref) return true;
  return false;
}

bool PagesTest::Choose(QComboBox* sel, zav::IoRef ref) {
  const auto refs = Refs(sel);
  for (std::size_t i = 0; i < refs.size(); ++i) {
    if (refs[i] != ref) continue;
    sel->setCurrentIndex(static_cast<int>(i));
    return true;
  }
  return false;
}

void PagesTest::Leave(QLineEdit* ed, const QString& text) {
  ed->setText(text);
  ed->setModified(true);
  emit ed->editingFinished();
}

int main(int argc, char** argv) {
  // Test discovery runs the binary without the ctest environment, and no display is needed.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
