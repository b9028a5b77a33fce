// A selector's items after refills that keep, take or give back points, and the pages after a
// controller is loaded again: whatever is kept from the previous state, the pages must show
// exactly what a fresh build would.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <algorithm>
#include <random>
#include <vector>

#include "config/io_ref.h"
#include "tests/ui_pages/pages_fixture.h"
#include "ui/free_point_lists.h"
#include "ui/io_selector_model.h"

using namespace pagetest;

namespace {

QStringList Tabs(const QTabBar* bar) {
  QStringList out;
  for (int i = 0; i < bar->count(); ++i) out << bar->tabText(i);
  return out;
}

// A selector on a model over a table of four devices with distinct names.
class SelectorModelTest : public ::testing::Test {
 protected:
  SelectorModelTest() {
    for (int i = 0; i < 4; ++i) table.devices[i].id = (701u << 16) | static_cast<unsigned>(10 + i);
    table.count = 4;
    model = new IoSelectorModel(table, static_cast<int>(zav::PointKind::Output), &sel);
    sel.setModel(model);
  }

  void Set(const std::vector<zav::IoRef>& refs) {
    model->Refill([&](std::uint16_t* out) {
      std::copy(refs.begin(), refs.end(), out);
      return static_cast<int>(refs.size());
    });
    sel.setCurrentIndex(0);
  }

  // The selector shows refs, in order, with the texts of the present table.
  void ExpectShows(const std::vector<zav::IoRef>& refs) {
    ASSERT_EQ(sel.count(), static_cast<int>(refs.size()));
    for (int i = 0; i < sel.count(); ++i) {
      EXPECT_EQ(sel.itemData(i, Qt::UserRole).toUInt(), refs[static_cast<std::size_t>(i)]) << i;
      EXPECT_EQ(sel.itemText(i).toStdString(),
                zav::ChoiceLabel(table, zav::PointKind::Output, refs[static_cast<std::size_t>(i)]))
          << i;
    }
    EXPECT_EQ(sel.currentIndex(), refs.empty() ? -1 : 0);
  }

  zav::BusDeviceTable table;
  QComboBox sel;
  IoSelectorModel* model = nullptr;
};

}  // namespace

TEST_F(SelectorModelTest, PointsTakenOrGivenBackLeaveTheShownItemAlone) {
  Set({0x0100, N, 0x0000, 0x0001, 0x0002, 0x0200, 0x0201});
  QSignalSpy changed(&sel, &QComboBox::currentIndexChanged);
  QSignalSpy resets(model, &QAbstractItemModel::modelReset);

  const std::vector<std::vector<zav::IoRef>> steps = {
      {0x0100, N, 0x0000, 0x0002, 0x0200, 0x0201},          // one taken in the middle
      {0x0100, N, 0x0000, 0x0001, 0x0002, 0x0200, 0x0201},  // and given back
      {0x0100, N, 0x0001, 0x0002, 0x0200},                  // first and last free taken
      {0x0100, N},                                          // nothing free
      {0x0100, N, 0x0300, 0x0301, 0x0302},                  // a new device's points
      {0x0100, N, 0x0300, 0x0301, 0x0302},                  // the same again
  };
  for (const auto& refs : steps) {
    Set(refs);
    ExpectShows(refs);
  }
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(changed.count(), 0);
}

TEST_F(SelectorModelTest, RandomRefillsShowExactlyTheirItems) {
  std::mt19937 rng(7);
  std::vector<zav::IoRef> pool;
  for (unsigned d = 0; d < 4; ++d)
    for (unsigned p = 0; p < 12; ++p) pool.push_back(static_cast<zav::IoRef>((d << 8) | p));
  for (int round = 0; round < 300; ++round) {
    std::vector<zav::IoRef> refs;
    // Mostly the same binding in front, sometimes another or none.
    const int front = static_cast<int>(rng() % 4);
    if (front > 0) refs.push_back(static_cast<zav::IoRef>(front == 1 ? 0x0000 : 0x0105));
    refs.push_back(N);
    for (zav::IoRef r : pool)
      if (rng() % 3 != 0 && std::find(refs.begin(), refs.end(), r) == refs.end()) refs.push_back(r);
    Set(refs);
    ExpectShows(refs);
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
}

// The texts come from the table when the selector asks, so only an announced change makes the
// selector paint the new name in place of the one it shows.
TEST_F(SelectorModelTest, SameItemsOnARenamedDeviceAreAnnouncedAsChanged) {
  const std::vector<zav::IoRef> refs = {0x0100, N, 0x0101, 0x0200};
  Set(refs);
  QSignalSpy resets(model, &QAbstractItemModel::modelReset);
  QSignalSpy data(model, &QAbstractItemModel::dataChanged);
  Set(refs);
  EXPECT_EQ(resets.count() + data.count(), 0);  // nothing changed, nothing to paint

  // Another device at the same table position, as after loading another controller.
  table.devices[1].id = (701u << 16) | 99u;
  Set(refs);
  EXPECT_EQ(resets.count() + data.count(), 1);
  ExpectShows(refs);
  // A name that is not shown in the list (position 3) still counts: the pages cannot know
  // which names a list uses without making its texts.
  table.devices[3].id = (701u << 16) | 98u;
  Set(refs);
  EXPECT_EQ(resets.count() + data.count(), 2);
}

TEST_F(SelectorModelTest, SameInputsSkipTheFillUnlessANameChanged) {
  int fills = 0;
  std::vector<zav::IoRef> refs = {0x0100, N, 0x0101, 0x0200};
  auto refill = [&](std::uint64_t inputs) {
    model->Refill(
        [&](std::uint16_t* out) {
          ++fills;
          std::copy(refs.begin(), refs.end(), out);
          return static_cast<int>(refs.size());
        },
        inputs);
  };
  refill(7);
  refill(7);
  EXPECT_EQ(fills, 1);
  ExpectShows(refs);

  // Other inputs are filled again, even when they give the same items.
  refs = {0x0100, N, 0x0200};
  refill(8);
  EXPECT_EQ(fills, 2);
  ExpectShows(refs);
  // The same inputs on a renamed device: the texts change, so the items are made again.
  table.devices[2].id = (701u << 16) | 97u;
  refill(8);
  EXPECT_EQ(fills, 3);
  ExpectShows(refs);
  // A refill without inputs always fills, and the next keyed one cannot match what it left.
  Set(refs);
  refill(8);
  EXPECT_EQ(fills, 4);
}

// The free points are listed again only when the table they come from changed; every change
// of what they are listed from (a point taken or given back, a device's point count, the
// active devices) must reach the items.
TEST_F(SelectorModelTest, FreePointsFollowEveryChangeOfTheTable) {
  for (int i = 0; i < 4; ++i) {
    table.devices[i].outputs = 2;
    table.order[i] = static_cast<std::uint8_t>(i);
  }
  table.activeCount = 3;
  FreePointLists lists(table);
  auto fill = [&](zav::IoRef current) {
    lists.NewFill();
    lists.Fill(*model, current, static_cast<int>(zav::ChoiceFilter::None), N);
  };
  fill(N);
  ExpectShows({N, 0x0000, 0x0001, 0x0100, 0x0101, 0x0200, 0x0201});
  table.devices[1].outputsTaken = 0b01;
  fill(0x0100);
  ExpectShows({0x0100, N, 0x0000, 0x0001, 0x0101, 0x0200, 0x0201});
  table.devices[1].outputsTaken = 0;
  table.devices[2].outputs = 1;
  fill(N);
  ExpectShows({N, 0x0000, 0x0001, 0x0100, 0x0101, 0x0200});
  table.activeCount = 4;
  std::swap(table.order[0], table.order[3]);
  fill(N);
  ExpectShows({N, 0x0300, 0x0301, 0x0100, 0x0101, 0x0200, 0x0000, 0x0001});
  table.activeCount = 1;
  fill(N);
  ExpectShows({N, 0x0300, 0x0301});
  // A renamed device with the same points is announced, so the selector paints the new name;
  // a fill that finds everything as it was announces nothing.
  QSignalSpy resets(model, &QAbstractItemModel::modelReset);
  fill(N);
  EXPECT_EQ(resets.count(), 0);
  table.devices[3].id = (701u << 16) | 77u;
  fill(N);
  EXPECT_EQ(resets.count(), 1);
  ExpectShows({N, 0x0300, 0x0301});
}

TEST_F(PagesTest, LoadingAgainSelectsTheFirstPassageAndKeepsTheTabTexts) {
  LoadDoors(16);
  probe.DoorTc->setCurrentIndex(4);
  EXPECT_EQ(probe.DoorNameEd->text(), "Drugie");
  LoadDoors(16);
  EXPECT_EQ(probe.DoorTc->currentIndex(), 0);
  EXPECT_EQ(probe.DoorNameEd->text(), "Wejscie");
  ASSERT_EQ(probe.DoorTc->count(), 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(probe.DoorTc->tabText(i), QString::number(i + 1));
    EXPECT_EQ(probe.DoorTc->accessibleTabName(i), QStringLiteral("Przejście %1").arg(i + 1));
  }
}

TEST_F(PagesTest, AnotherPassageCountRebuildsTabsAirlocksAndRows) {
  LoadDoors(16);
  probe.Sluza1Sel->setCurrentIndex(3);
  LoadDoors(2);
  EXPECT_EQ(Tabs(probe.DoorTc), QStringList({"1", "2"}));
  EXPECT_EQ(Items(probe.Sluza1Sel), QStringList({"  -----", "Śluza 1", "Śluza 2"}));
  EXPECT_EQ(Items(probe.Sluza2Sel), QStringList({"  -----", "Śluza 2"}));
  EXPECT_EQ(probe.Sluza1Sel->currentIndex(), doors.FirstAirlockItem(0));
  EXPECT_EQ(probe.cOutRows[7].lb->text(), "Ewakuacja:");
  EXPECT_TRUE(probe.cOutRows[2].sel->isHidden());

  LoadDoors(8);
  EXPECT_EQ(probe.DoorTc->count(), 8);
  EXPECT_EQ(probe.Sluza1Sel->count(), 5);
  EXPECT_EQ(probe.Sluza2Sel->count(), 4);
  EXPECT_EQ(probe.Sluza2Sel->itemText(3), "Śluza 4");

  LoadDoors(16);
  EXPECT_EQ(probe.DoorTc->count(), 16);
  EXPECT_EQ(probe.Sluza1Sel->itemText(7), "Śluza 7");
  EXPECT_EQ(probe.Sluza2Sel->itemText(7), "Śluza 8");
  EXPECT_EQ(probe.cOutRows[7].lb->text(), "Śluza 8:");
  EXPECT_FALSE(probe.cOutRows[6].sel->isHidden());
}

TEST_F(PagesTest, DoorControllerAfterALiftShowsItsPagesAgain) {
  LoadLift();
  LoadDoors(2);
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(probe.TabSheet1)));
  EXPECT_TRUE(pages->isTabEnabled(pages->indexOf(probe.DoorSheet)));
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(probe.LiftSheet)));
  EXPECT_FALSE(pages->isTabEnabled(pages->indexOf(probe.LiftSheet)));
  EXPECT_EQ(pages->currentWidget(), probe.DoorSheet);
  EXPECT_TRUE(probe.WrCCfgBtn->isEnabled());
  EXPECT_EQ(Refs(probe.dOutRows[0].sel).front(), 0x0100);
}
