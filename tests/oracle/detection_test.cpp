// Oracle client detection against a machine's registry: the decision table row
// by row, the uninstall entry's matching rules, and the keep-once-found homes.
#include <gtest/gtest.h>

#include "framework/errors.h"
#include "tests/oracle/oracle_test_support.h"
#include "tests/support/error_matcher.h"
#include "tests/support/row_name.h"

#ifndef _WIN32
#include "platform/host/host_platform.h"
#endif

namespace oracle_test {
namespace {

// One registry state and what the detection makes of it.
struct DetectionRow {
  const char* name;
  bool oracleKey;                      // \SOFTWARE\ORACLE exists at all
  std::optional<std::string> xeKey;    // KEY_XEClient's ORACLE_HOME; nullopt: no such key
  bool uninstallEntry;                 // "Oracle Client 10g Express Edition" registered
  std::optional<std::string> counter;  // HOME_COUNTER: nullopt = ALL_HOMES missing
  bool xeClient;
  bool oracleHomes;
  std::string xeHome;
};

constexpr char kNoValue[] = "<no value>";  // the key without an ORACLE_HOME value

class DetectionTable : public OracleTest, public testing::WithParamInterface<DetectionRow> {};

TEST_P(DetectionTable, Row) {
  const DetectionRow& row = GetParam();
  if (row.oracleKey) machine_->CreateKey(platform::RootKey::LocalMachine, kOracleKey);
  if (row.xeKey) SetXEClientHome(*row.xeKey == kNoValue ? std::nullopt : row.xeKey);
  if (row.counter) SetHomeCounter(*row.counter);
  if (row.uninstallEntry) {
    AddUninstallEntry({kXEDisplayName});
  } else if (row.xeKey && !row.xeKey->empty() && *row.xeKey != kNoValue) {
    // A home in the key settles it: an entry that would fail to read proves
    // the uninstall entries are not searched.
    AddUnreadableUninstallEntry();
  }
  EXPECT_EQ(Form().DetectXEClient(), row.xeClient);
  EXPECT_EQ(Form().XEClientHome, row.xeHome);
  EXPECT_EQ(Form().DetectOracleHomes(), row.oracleHomes);
}

const char kHome[] = "C:\\oraclexe\\app\\oracle\\product\\10.2.0\\client";

INSTANTIATE_TEST_SUITE_P(
    Rows, DetectionTable,
    testing::Values(
        DetectionRow{"xe_home_in_key", true, kHome, false, std::nullopt, true, false, kHome},
        DetectionRow{"xe_home_and_counter", true, kHome, false, "1", true, true, kHome},
        DetectionRow{"xe_key_empty_home_uninstall_entry", true, "", true, std::nullopt, true, false, ""},
        DetectionRow{"xe_key_no_home_uninstall_entry", true, kNoValue, true, std::nullopt, true, false, ""},
        DetectionRow{"xe_key_empty_home_no_entry", true, "", false, std::nullopt, false, false, ""},
        DetectionRow{"xe_key_missing_uninstall_entry", true, std::nullopt, true, std::nullopt, true, false, ""},
        DetectionRow{"no_oracle_key_uninstall_entry", false, std::nullopt, true, std::nullopt, true, false, ""},
        DetectionRow{"other_home_counter", true, std::nullopt, false, "1", false, true, ""},
        DetectionRow{"other_home_counter_zero", true, "", false, "0", false, true, ""},
        DetectionRow{"counter_empty", true, std::nullopt, false, "", false, false, ""},
        DetectionRow{"all_homes_missing", true, std::nullopt, false, std::nullopt, false, false, ""},
        DetectionRow{"nothing_at_all", false, std::nullopt, false, std::nullopt, false, false, ""}),
    RowName());

struct EntryCase {
  const char* name;
  UninstallEntry entry;
  bool found;
};

class UninstallEntryMatch : public OracleTest, public testing::WithParamInterface<EntryCase> {};

TEST_P(UninstallEntryMatch, Found) {
  AddUninstallEntry({"Some Other Product"});
  AddUninstallEntry(GetParam().entry);
  EXPECT_EQ(Form().FindXEClientUninstallEntry(), GetParam().found);
  EXPECT_EQ(Form().DetectXEClient(), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, UninstallEntryMatch,
    testing::Values(EntryCase{"exact", {kXEDisplayName}, true},
                    EntryCase{"other_case", {"Oracle client 10g Express Edition"}, false},
                    EntryCase{"trailing_blank", {"Oracle Client 10g Express Edition "}, false},
                    EntryCase{"leading_blank", {" Oracle Client 10g Express Edition"}, false},
                    EntryCase{"other_version", {"Oracle Client 11g Express Edition"}, false},
                    EntryCase{"no_uninstall_string", {kXEDisplayName, false}, false},
                    EntryCase{"value_name_lower_case", {kXEDisplayName, true, "displayname"}, true},
                    EntryCase{"value_name_upper_case", {kXEDisplayName, true, "DISPLAYNAME"}, true}),
    RowName());

TEST_F(OracleTest, TwoMatchingEntriesCountAsOne) {
  AddUninstallEntry({kXEDisplayName});
  AddUninstallEntry({kXEDisplayName});
  EXPECT_TRUE(Form().FindXEClientUninstallEntry());
}

TEST_F(OracleTest, HomesFoundOnceStayKnown) {
  SetXEClientHome(kHome);
  SetOracleHome("C:\\oracle\\ora92");
  ASSERT_TRUE(Form().DetectXEClient());
  Form().ReadOracleHome();
  RemoveOracleKey();
  EXPECT_TRUE(Form().DetectXEClient());
  Form().ReadOracleHome();
  EXPECT_EQ(Form().XEClientHome, kHome);
  EXPECT_EQ(Form().OracleHome, "C:\\oracle\\ora92");
}

TEST_F(OracleTest, HomesAreStoredAsRead) {
  SetXEClientHome(" C:\\XE\\ ");
  SetOracleHome("c:\\Oracle\\");
  ASSERT_TRUE(Form().DetectXEClient());
  Form().ReadOracleHome();
  EXPECT_EQ(Form().XEClientHome, " C:\\XE\\ ");
  EXPECT_EQ(Form().OracleHome, "c:\\Oracle\\");
}

TEST_F(OracleTest, OracleKeyWithoutHomeValueEmptiesOracleHome) {
  SetOracleHome("C:\\oracle\\ora92");
  Form().ReadOracleHome();
  RemoveOracleKey();
  machine_->CreateKey(platform::RootKey::LocalMachine, kOracleKey);
  Form().ReadOracleHome();
  EXPECT_EQ(Form().OracleHome, "");
}

// A value of another type is not text: the read fails with the value's name,
// also in an uninstall entry, and the error leaves the detection.
struct WrongTypeCase {
  const char* name;
  const char* key;  // nullptr: an uninstall entry with a numeric DisplayName
  const char* value;
  bool (*detect)(TFormInstalador&);
};

class WrongType : public OracleTest, public testing::WithParamInterface<WrongTypeCase> {};

TEST_P(WrongType, RaisesInvalidDataType) {
  if (GetParam().key) {
    machine_->SetDword(platform::RootKey::LocalMachine, GetParam().key, GetParam().value, 7);
  } else {
    AddUnreadableUninstallEntry();
  }
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { GetParam().detect(Form()); }),
            std::string("Invalid data type for '") + GetParam().value + "'");
}

INSTANTIATE_TEST_SUITE_P(Values, WrongType,
                         testing::Values(WrongTypeCase{"xe_home", kXEClientKey, "ORACLE_HOME",
                                                       [](TFormInstalador& form) { return form.DetectXEClient(); }},
                                         WrongTypeCase{"home_counter", kAllHomesKey, "HOME_COUNTER",
                                                       [](TFormInstalador& form) { return form.DetectOracleHomes(); }},
                                         WrongTypeCase{"uninstall_display_name", nullptr, "DisplayName",
                                                       [](TFormInstalador& form) { return form.DetectXEClient(); }},
                                         WrongTypeCase{"oracle_home", kOracleKey, "ORACLE_HOME",
                                                       [](TFormInstalador& form) {
                                                         form.ReadOracleHome();
                                                         return true;
                                                       }}),
                         RowName());

#ifndef _WIN32
platform::HostPlatform& Host(TestMachine& machine) { return dynamic_cast<platform::HostPlatform&>(machine.Platform()); }

// A user without the right to change uninstall entries still finds the client.
TEST_F(OracleTest, UninstallSearchNeedsOnlyReadAccess) {
  AddUninstallEntry({kXEDisplayName});
  Host(*machine_).SetKeyPermission(platform::RootKey::LocalMachine, kUninstallKey, platform::KeyPermission::ReadOnly);
  EXPECT_TRUE(Form().DetectXEClient());
}

// The window keeps painting: waiting messages are dispatched before the look-up.
TEST_F(OracleTest, DetectXEClientDispatchesWaitingMessagesFirst) {
  bool keyReadBeforeDispatch = false;
  Host(*machine_).SetProcessMessagesHook([&] {
    keyReadBeforeDispatch = !Form().XEClientHome.empty();
    SetXEClientHome(kHome);  // registered while a message was handled
  });
  EXPECT_TRUE(Form().DetectXEClient());
  EXPECT_FALSE(keyReadBeforeDispatch);
  EXPECT_EQ(Host(*machine_).ProcessMessagesCalls(), 1);
}
#endif

}  // namespace
}  // namespace oracle_test
