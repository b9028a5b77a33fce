// The list models tell their views only what changed: a view repaints the rows it is told of,
// so a row left out shows stale text and a row told of needlessly is repainted for nothing.
#include <gtest/gtest.h>

#include <QStringList>
#include <ostream>

#include "config/bus_device_table.h"
#include "core/core_state.h"
#include "ui/controller_list_model.h"
#include "ui/device_list_model.h"

QT_BEGIN_NAMESPACE
// Failures print the lists as text.
inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << '"' << list.join(QStringLiteral("\", \"")).toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// Every signal a view acts on, as "changed 1-1", "inserted 0-2", "removed 2-3", "reset".
struct Changes {
  explicit Changes(QAbstractItemModel& m) {
    QObject::connect(
        &m, &QAbstractItemModel::dataChanged,
        [this](const QModelIndex& a, const QModelIndex& b) { Note("changed", a.row(), b.row()); });
    QObject::connect(&m, &QAbstractItemModel::rowsInserted,
                     [this](const QModelIndex&, int a, int b) { Note("inserted", a, b); });
    QObject::connect(&m, &QAbstractItemModel::rowsRemoved,
                     [this](const QModelIndex&, int a, int b) { Note("removed", a, b); });
    QObject::connect(&m, &QAbstractItemModel::modelReset, [this] { seen << "reset"; });
  }
  void Note(const char* what, int a, int b) {
    seen << QStringLiteral("%1 %2-%3").arg(QLatin1String(what)).arg(a).arg(b);
  }
  QStringList Take() {
    QStringList out = seen;
    seen.clear();
    return out;
  }
  QStringList seen;
};

QStringList Lines(const LineListModel& m) {
  QStringList out;
  for (int i = 0; i < m.rowCount(); ++i) out << m.index(i).data().toString();
  return out;
}

zav::core::ControllerList Set(std::initializer_list<std::pair<unsigned, int>> serialsAndModes) {
  zav::core::ControllerList set;
  std::uint32_t ip = 0x0A000002;
  for (auto [serial, mode] : serialsAndModes) {
    zav::UdpDev dev(0x30000000u | (305u << 16) | serial, ip++, static_cast<std::uint16_t>(mode));
    dev.available = true;
    set.devs.push_back(dev);
  }
  set.count = static_cast<int>(set.devs.size());
  set.selected = set.count > 0 ? 0 : -1;
  return set;
}

QStringList SetLines(const zav::core::ControllerList& set) {
  QStringList out;
  for (int i = 0; i < set.count; ++i) out << QString::fromStdString(set.devs[i].ListLine());
  return out;
}

// A table with the given readers at positions 1.., the controller at 0, in position order.
zav::BusDeviceTable Table(std::initializer_list<std::pair<unsigned, std::uint8_t>> readers) {
  zav::BusDeviceTable t;
  t.devices[0].id = 0x30000000u | (305u << 16) | 66u;
  int n = 1;
  for (auto [serial, state] : readers) {
    t.devices[n].id = (1u << 16) | serial;
    t.devices[n].state = state;
    t.devices[n].suffixNo = 1;
    ++n;
  }
  t.count = t.activeCount = n;
  for (int i = 0; i < n; ++i) t.order[i] = static_cast<std::uint8_t>(i);
  return t;
}

QStringList TableLines(const zav::BusDeviceTable& t) {
  QStringList out;
  for (int i = 0; i < t.activeCount; ++i) out << QString::fromStdString(t.DeviceLine(t.order[i]));
  return out;
}

TEST(ControllerListModel, TellsOnlyTheRowsThatChanged) {
  ControllerListModel model;
  Changes changes(model);
  auto set = Set({{5, 3}, {66, 2}, {77, 3}});
  model.Show(set);
  EXPECT_EQ(changes.Take(), QStringList{"inserted 0-2"});
  EXPECT_EQ(Lines(model), SetLines(set));

  model.Show(set);  // the same set: nothing to repaint
  EXPECT_EQ(changes.Take(), QStringList());

  set.devs[1].mode = 3;  // one controller changed its mode
  model.Show(set);
  EXPECT_EQ(changes.Take(), QStringList{"changed 1-1"});
  EXPECT_EQ(Lines(model), SetLines(set));

  auto fewer = Set({{5, 3}, {66, 3}});
  model.Show(fewer);
  EXPECT_EQ(changes.Take(), QStringList{"removed 2-2"});
  EXPECT_EQ(Lines(model), SetLines(fewer));

  // A new controller sorted in first: every row below it moves, one is added at the end.
  auto more = Set({{1, 3}, {5, 3}, {66, 3}});
  model.Show(more);
  EXPECT_EQ(changes.Take(), QStringList({"changed 0-0", "changed 1-1", "inserted 2-2"}));
  EXPECT_EQ(Lines(model), SetLines(more));

  model.Show(zav::core::ControllerList{});
  EXPECT_EQ(changes.Take(), QStringList{"removed 0-2"});
  EXPECT_EQ(model.rowCount(), 0);
}

TEST(ControllerListModel, ShowRowTouchesThatRowAlone) {
  ControllerListModel model;
  auto set = Set({{5, 3}, {66, 3}});
  model.Show(set);
  Changes changes(model);
  set.devs[0].mode = 2;
  set.devs[1].mode = 0;
  model.ShowRow(set, 1);
  EXPECT_EQ(changes.Take(), QStringList{"changed 1-1"});
  EXPECT_EQ(model.Line(0), QString::fromStdString(Set({{5, 3}}).devs[0].ListLine()));
  EXPECT_EQ(model.Line(1), QString::fromStdString(set.devs[1].ListLine()));
  model.ShowRow(set, 2);  // outside the list
  model.ShowRow(set, -1);
  EXPECT_EQ(changes.Take(), QStringList());
}

TEST(DeviceListModel, LinesFollowTheTableAndOnlyChangedRowsAreTold) {
  DeviceListModel model;
  Changes changes(model);
  auto table = Table({{7, 0}, {9, 0}});
  model.Show(table);
  EXPECT_EQ(changes.Take(), QStringList{"inserted 0-2"});
  EXPECT_EQ(Lines(model), TableLines(table));

  model.Show(table);
  EXPECT_EQ(changes.Take(), QStringList());

  // One reader lost, the other new: two lines change, none is added.
  table.devices[1].state = 0x80;
  table.devices[2].state = 0x10;
  model.Show(table);
  EXPECT_EQ(changes.Take(), QStringList({"changed 1-1", "changed 2-2"}));
  EXPECT_EQ(Lines(model), TableLines(table));
  EXPECT_TRUE(model.Line(1).endsWith(QStringLiteral("(nieaktywny)")));

  // Another controller's table with as many devices: another reader at the same position, the
  // same controller and second reader.
  auto other = Table({{55, 0}, {9, 0x10}});
  model.Show(other);
  EXPECT_EQ(changes.Take(), QStringList{"changed 1-1"});
  EXPECT_EQ(Lines(model), TableLines(other));

  // Only the suffix number differs: the line differs too.
  other.devices[2].suffixNo = 2;
  model.Show(other);
  EXPECT_EQ(changes.Take(), QStringList{"changed 2-2"});
  EXPECT_EQ(Lines(model), TableLines(other));

  auto empty = Table({});
  empty.activeCount = 0;
  model.Show(empty);
  EXPECT_EQ(changes.Take(), QStringList{"removed 0-2"});
  model.Show(table);
  EXPECT_EQ(changes.Take(), QStringList{"inserted 0-2"});
  EXPECT_EQ(Lines(model), TableLines(table));
}

TEST(DeviceListModel, DisplayOrderIsTheTablesOrder) {
  DeviceListModel model;
  auto table = Table({{7, 0}, {9, 0}});
  table.order[1] = 2;
  table.order[2] = 1;
  model.Show(table);
  EXPECT_EQ(Lines(model), TableLines(table));
  EXPECT_TRUE(model.Line(1).contains(QStringLiteral("00009")));
}

}  // namespace
