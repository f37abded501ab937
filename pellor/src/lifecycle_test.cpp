// Discovery of the four driver families, their messages, capacities, faults and closing.
#include <gtest/gtest.h>

#include <cstring>

#include "allocation.h"
#include "lifecycle.h"
#include "messages.h"
#include "pellor_fixture.h"

namespace pellor::test {
namespace {

using fake::card_identity;

constexpr uint32_t zam_flag = PELLOR_CARD_FLAG_ZAM_SPEC;
constexpr uint32_t kep_flag = PELLOR_CARD_FLAG_KNOWN_ENDPOINT;

class PellorLifecycleTest : public PellorFixture {};

TEST_F(PellorLifecycleTest, NoConfigDriverLeavesEverythingEmptyAndSearchesNothingElse) {
  drivers.add_card(card_identity({1, 0, 0}, PELLOR_PORT_TYPE_FARROW, zam_flag, 2));
  drivers.add_farrow_port({1, 0, 0});
  drivers.add_known_endpoint({4, 0, 0});

  EXPECT_EQ(start(),
            "ERROR. No drivers for accessing configuration space loaded. Please verify Trevik or "
            "compatible driver has been loaded and rerun the test\n");
  EXPECT_EQ(faults->open_channels(), 0);
  EXPECT_TRUE(drivers.requests().empty());  // neither cards nor known endpoints were asked

  CONFIG_DRIVER_INTERFACE_t table;
  std::memset(&table, 0xA5, sizeof table);
  EXPECT_EQ(ConfigDriver_GetInterface(&table), 0u);
  EXPECT_TRUE(all_zero(table));
  EXPECT_TRUE(all_zero(card_table()));
  EXPECT_TRUE(all_zero(kep_table()));
}

TEST_F(PellorLifecycleTest, FullDiscoveryPrintsCardAndPortLinesAndFillsEveryTable) {
  drivers.add_config_driver();
  const auto farrow_card =
      drivers.add_card(card_identity({1, 0, 0}, PELLOR_PORT_TYPE_FARROW, zam_flag, 2));
  drivers.add_card(card_identity({3, 0, 0}, PELLOR_PORT_TYPE_ENDPOINT, zam_flag | kep_flag));
  drivers.add_card(card_identity({5, 0, 0}, PELLOR_PORT_TYPE_ENDPOINT, zam_flag));  // silent
  drivers.add_card(card_identity({6, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0, 7));       // silent
  drivers.add_farrow_port({1, 0, 0});
  drivers.add_known_endpoint({4, 0, 0});

  EXPECT_EQ(start(),
            "Farrow port at bdf[1,0,0] implements ZAM specification\n"
            "Known end point at bdf[3,0,0] implements ZAM specification\n"
            "Farrow port found at BDF[1,0,0] and initialized successfully\n");
  EXPECT_EQ(faults->open_channels(), 7);

  const auto query = drivers.requests_to(farrow_card);
  ASSERT_EQ(query.size(), 1u);
  EXPECT_EQ(query[0].code, PELLOR_IOCTL_CARD_QUERY);
  EXPECT_EQ(query[0].in.size(), 44u);
  EXPECT_EQ(query[0].out_capacity, 44u);

  const CONFIG_DRIVER_INTERFACE_t table = config_table();
  ASSERT_NE(table.OpenDriver, nullptr);
  EXPECT_NE(table.SetCfgWindow, nullptr);
  EXPECT_NE(table.QueryMcfg, nullptr);
  EXPECT_NE(table.GetCfgWindow, nullptr);
  EXPECT_NE(table.ReadConfig, nullptr);
  EXPECT_NE(table.ReadConfigNoCheck, nullptr);
  EXPECT_NE(table.WriteConfig, nullptr);
  EXPECT_NE(table.CloseDriver, nullptr);
  ASSERT_NE(table.Spare8, nullptr);
  ASSERT_NE(table.Spare9, nullptr);
  EXPECT_EQ(table.Spare8(), 0u);
  EXPECT_EQ(table.Spare9(), 0u);
  uint32_t handle_word = 0xFFFF;
  EXPECT_EQ(table.OpenDriver(&handle_word), 1u);  // already initialised: nothing runs again
  EXPECT_EQ(handle_word, 0u);
  EXPECT_EQ(faults->open_channels(), 7);

  ZAM_LIB_INTERFACE_t& cards = card_table();
  void* const* slots = reinterpret_cast<void* const*>(&cards);
  for (int slot = 0; slot < 17; ++slot) EXPECT_NE(slots[slot], nullptr) << "card slot " << slot;
  EXPECT_EQ(cards.IsZamDevice(5, 0, 0), 1u);  // any port type
  EXPECT_EQ(cards.IsZamDevice(4, 0, 0), 0u);

  KEP_LIB_INTERFACE_t& keps = kep_table();
  ASSERT_NE(keps.IsKepDevice, nullptr);
  EXPECT_EQ(keps.Reserved1, nullptr);
  EXPECT_EQ(keps.Reserved2, nullptr);
  EXPECT_EQ(keps.Reserved3, nullptr);
  EXPECT_EQ(keps.IsKepDevice(4, 0, 0), 1u);
  EXPECT_EQ(keps.IsKepDevice(4, 0, 1), 0u);
}

TEST_F(PellorLifecycleTest, OptionalFamiliesMissingGiveThreeWarnings) {
  drivers.add_config_driver();
  EXPECT_EQ(start(),
            "WARNING. ZAM-compliant devices have not been detected(not an error).\n"
            "WARNING. Frw ports have not been detected(not an error).\n"
            "WARNING. KEP-compliant devices have not been detected(not an error).\n");
  EXPECT_EQ(config_table().ReadConfig != nullptr, true);
  EXPECT_TRUE(all_zero(card_table()));
  EXPECT_TRUE(all_zero(kep_table()));
}

TEST_F(PellorLifecycleTest, FailedInterfacesStayCountedButNeverMatchABdf) {
  drivers.add_config_driver();
  const auto unopenable = drivers.add_card(card_identity({0, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0));
  const auto unanswering = drivers.add_card(card_identity({0, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0));
  const auto short_port = drivers.add_farrow_port({0, 0, 0});
  const auto bad_kep = drivers.add_known_endpoint({0, 0, 0});
  faults->fail_open(unopenable, platform::error::access_denied);
  faults->fail_requests(unanswering, PELLOR_IOCTL_CARD_QUERY, platform::error::gen_failure);
  faults->limit_returned(short_port, PELLOR_IOCTL_FARROW_IDENTITY, 8);  // BDF cut short
  faults->fail_requests(bad_kep, PELLOR_IOCTL_KEP_IDENTITY, platform::error::gen_failure);

  // Failed card and port interfaces are counted, so no card or port warning appears; the
  // known endpoint is only counted on success.
  EXPECT_EQ(start(), "WARNING. KEP-compliant devices have not been detected(not an error).\n");
  EXPECT_EQ(faults->open_channels(), 1);  // only the configuration driver stays open
  ZAM_LIB_INTERFACE_t& cards = card_table();
  ASSERT_NE(cards.IsZamDevice, nullptr);
  EXPECT_EQ(cards.IsZamDevice(0, 0, 0), 0u);
  EXPECT_EQ(cards.Arm(0, 0, 0), PELLOR_CARD_FAILED);

  // 0:0.0 still reaches the configuration driver, not the failed Farrow record.
  space->add_function({0, 0, 0}, 0x8086, 0x1234);
  drivers.clear_requests();
  uint8_t id[4] = {};
  EXPECT_EQ(config_table().ReadConfig(0, 0, 0, 0, 0, 4, id), 4u);
  ASSERT_EQ(drivers.requests().size(), 1u);
  EXPECT_EQ(drivers.requests()[0].code, PELLOR_IOCTL_CONFIG_READ);
}

TEST_F(PellorLifecycleTest, OnlyTheFirstKnownEndpointAndConfigInterfaceAreUsed) {
  const auto first_config = drivers.add_config_driver();
  const auto second_config = drivers.add_config_driver();
  drivers.add_known_endpoint({4, 0, 0});
  const auto second_kep = drivers.add_known_endpoint({5, 0, 0});
  start();
  EXPECT_EQ(faults->open_channels(), 2);
  EXPECT_TRUE(drivers.requests_to(second_kep).empty());
  EXPECT_EQ(kep_table().IsKepDevice(4, 0, 0), 1u);
  EXPECT_EQ(kep_table().IsKepDevice(5, 0, 0), 0u);

  uint8_t byte = 0;
  config_table().ReadConfig(0, 9, 0, 0, 0, 1, &byte);
  EXPECT_EQ(drivers.requests_to(first_config).size(), 1u);
  EXPECT_TRUE(drivers.requests_to(second_config).empty());
}

TEST_F(PellorLifecycleTest, EnumerationStopsAtListCapacities) {
  drivers.add_config_driver();
  for (uint32_t i = 0; i < PELLOR_CARD_CAPACITY + 3; ++i) {
    drivers.add_card(card_identity({i % 256, 1, 0}, PELLOR_PORT_TYPE_ENDPOINT));
  }
  for (uint32_t i = 0; i < PELLOR_FARROW_CAPACITY + 3; ++i) {
    drivers.add_farrow_port({i % 256, 2, i / 256});
  }
  const std::string printed = start();
  size_t queries = 0;
  size_t identities = 0;
  for (const auto& request : drivers.requests()) {
    queries += request.code == PELLOR_IOCTL_CARD_QUERY;
    identities += request.code == PELLOR_IOCTL_FARROW_IDENTITY;
  }
  EXPECT_EQ(queries, PELLOR_CARD_CAPACITY);
  EXPECT_EQ(identities, PELLOR_FARROW_CAPACITY);
  EXPECT_EQ(faults->open_channels(), 1 + 256 + 512);
  EXPECT_NE(printed.find("Farrow port found at BDF[255,2,1] and initialized successfully\n"),
            std::string::npos);
  EXPECT_EQ(printed.find("BDF[0,2,2]"), std::string::npos);  // the 513th port
}

TEST_F(PellorLifecycleTest, FailedAllocationsLeaveTheirFamilyEmpty) {
  drivers.add_config_driver();
  drivers.add_card(card_identity({1, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0, 2));
  drivers.add_farrow_port({1, 0, 0});
  drivers.add_known_endpoint({4, 0, 0});
  // Allocations in order: configuration context, card context, card records, Farrow
  // records, known-endpoint context, known-endpoint records.
  for (int permits = 0; permits <= 6; ++permits) {
    SCOPED_TRACE(permits);
    allocation::fail_after(permits);
    const std::string printed = start();
    allocation::allow_all();
    if (permits == 0) {
      EXPECT_EQ(printed, message::no_config_driver);
      EXPECT_EQ(config_table().ReadConfig, nullptr);
      continue;
    }
    EXPECT_NE(config_table().ReadConfig, nullptr);
    const bool cards = permits >= 3;
    const bool ports = permits >= 4;
    const bool keps = permits >= 6;
    EXPECT_EQ(card_table().IsZamDevice != nullptr, cards || ports);
    if (cards) {
      EXPECT_EQ(card_table().IsZamDevice(1, 0, 0), 1u);
    }
    EXPECT_EQ(printed.find(message::no_zam_devices) != std::string::npos, !cards);
    EXPECT_EQ(printed.find(message::no_farrow_ports) != std::string::npos, !ports);
    EXPECT_EQ(printed.find(message::no_kep_devices) != std::string::npos, !keps);
    EXPECT_EQ(kep_table().IsKepDevice != nullptr, keps);
    stop();
    EXPECT_EQ(faults->open_channels(), 0);
  }
}

TEST_F(PellorLifecycleTest, CloseReleasesEveryHandleAndOpenDriverStartsAgain) {
  drivers.add_config_driver();
  drivers.add_card(card_identity({1, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0, 2));
  drivers.add_farrow_port({1, 0, 0});
  drivers.add_known_endpoint({4, 0, 0});
  start();
  EXPECT_EQ(faults->open_channels(), 4);
  const CONFIG_DRIVER_INTERFACE_t table = config_table();
  ZAM_LIB_INTERFACE_t& cards = card_table();

  table.CloseDriver(0);
  EXPECT_EQ(faults->open_channels(), 0);
  CONFIG_DRIVER_INTERFACE_t after_close;
  EXPECT_EQ(ConfigDriver_GetInterface(&after_close), 0u);
  EXPECT_NE(cards.Arm, nullptr);  // the tables keep their pointers...
  drivers.clear_requests();
  uint8_t byte = 0;
  EXPECT_EQ(table.ReadConfig(0, 1, 0, 0, 0, 1, &byte), 0u);  // ...but reach no driver
  EXPECT_EQ(cards.Arm(1, 0, 0), PELLOR_CARD_FAILED);
  EXPECT_EQ(kep_table().IsKepDevice(4, 0, 0), 0u);
  EXPECT_TRUE(drivers.requests().empty());

  uint32_t handle_word = 7;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(table.OpenDriver(&handle_word), 1u);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Farrow port found at BDF[1,0,0] and initialized successfully\n");
  EXPECT_EQ(handle_word, 0u);
  EXPECT_EQ(faults->open_channels(), 4);
  EXPECT_EQ(cards.Arm(1, 0, 0), 0u);
}

TEST_F(PellorLifecycleTest, NullArgumentsToTheExportsAreRefused) {
  drivers.add_config_driver();
  start();
  EXPECT_EQ(ConfigDriver_GetInterface(nullptr), 0u);
  EXPECT_EQ(ZAM_LIB_Open_ZAM_Interface(nullptr), PELLOR_INVALID_PARAMETER);
  EXPECT_EQ(KEP_LIB_Open_KEP_Interface(nullptr), PELLOR_INVALID_PARAMETER);
  EXPECT_EQ(config_table().OpenDriver(nullptr), 1u);
}

}  // namespace
}  // namespace pellor::test

extern "C" int pellor_c_table_slots(int which);

namespace pellor::test {
namespace {

TEST(PellorHeaderTest, PlainCSeesTheSameTablesAndPackets) {
  EXPECT_EQ(pellor_c_table_slots(0), 10);
  EXPECT_EQ(pellor_c_table_slots(1), 17);
  EXPECT_EQ(pellor_c_table_slots(2), 4);
  EXPECT_EQ(pellor_c_table_slots(3), 56);
}

}  // namespace
}  // namespace pellor::test
