#include <gtest/gtest.h>

#include "sim/SettingStore.h"
#include "support/Bytes.h"

namespace korva {
namespace {

using test::bytes;

TEST(SettingStore, MarginAndSetupCodeExampleIsStored) {
    SettingStore store(6, 384);
    // The body of 1D 28 45 0A 00 05 FA 00 02 FF 00 00 00 00 04 after the function byte.
    auto records = store.apply(bytes("FA 00 02 FF 00 00 00 00 04"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].number, 0xFA);
    EXPECT_EQ(records[0].verdict, SettingStore::Record::Verdict::Stored);
    EXPECT_EQ(store.queryText(0xFA), "512");
    EXPECT_EQ(store.queryText(0xFF), "0");
}

// What a tool writes it must read back: record bytes -> the reply text the Reply column
// decodes to the same choice.
struct RoundTrip {
    const char* record;
    int number;
    const char* text;
};

class SettingStoreRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(SettingStoreRoundTrip, RecordGivesReplyText) {
    SettingStore store(6, 384);
    auto records = store.apply(bytes(GetParam().record));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].verdict, SettingStore::Record::Verdict::Stored) << GetParam().record;
    EXPECT_EQ(store.queryText(GetParam().number), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Records, SettingStoreRoundTrip,
    ::testing::Values(RoundTrip{"01 01 00", 0x01, "1"}, RoundTrip{"01 05 00", 0x01, "5"},
                      RoundTrip{"02 07 00", 0x02, "7"}, RoundTrip{"02 01 00", 0x02, "1"},
                      RoundTrip{"03 06 00", 0x03, "6"}, RoundTrip{"03 03 00", 0x03, "3"},
                      RoundTrip{"74 01 01", 0x74, "257"}, RoundTrip{"74 01 00", 0x74, "1"},
                      RoundTrip{"76 64 00", 0x76, "100"}, RoundTrip{"F2 00 0C", 0xF2, "112"},
                      RoundTrip{"F2 00 00", 0xF2, "0"}, RoundTrip{"F3 01 00", 0xF3, "10"},
                      RoundTrip{"F3 01 FF", 0xF3, "1255"}, RoundTrip{"F4 00 01", 0xF4, "1"},
                      RoundTrip{"F5 00 05", 0xF5, "05"}, RoundTrip{"F5 04 01", 0xF5, "41"},
                      RoundTrip{"F6 FE 00", 0xF6, "254"}, RoundTrip{"F7 01 01", 0xF7, "1"},
                      RoundTrip{"F8 00 01", 0xF8, "0"}, RoundTrip{"F9 96 00", 0xF9, "150"},
                      RoundTrip{"FA 00 00", 0xFA, "0"}, RoundTrip{"FB 01 01", 0xFB, "1"},
                      RoundTrip{"FC 30 34", 0xFC, "04"}, RoundTrip{"FC 36 34", 0xFC, "64"},
                      RoundTrip{"FD 01 01", 0xFD, "1"},
                      RoundTrip{"FF 2B 1A 00 00 04", 0xFF, "6699"},
                      RoundTrip{"FF FF FF FF FF 04", 0xFF, "4294967295"}));

TEST(SettingStore, OutOfRangeValuesAreRefusedAndKeepTheOldText) {
    struct Case {
        const char* record;
        int number;
    };
    for (Case c : {Case{"01 06 00", 0x01}, Case{"03 04 00", 0x03}, Case{"74 02 00", 0x74},
                   Case{"76 50 00", 0x76}, Case{"F2 01 05", 0xF2}, Case{"F9 FA 00", 0xF9},
                   Case{"FA 01 02", 0xFA}, Case{"FC 31 32", 0xFC}, Case{"FF 00 00 00 00 05", 0xFF},
                   Case{"D0 05 00", 0xD0}}) {
        SettingStore store(6, 384);
        auto before = store.value(c.number);
        auto records = store.apply(bytes(c.record));
        ASSERT_EQ(records.size(), 1u) << c.record;
        EXPECT_EQ(records[0].verdict, SettingStore::Record::Verdict::Invalid) << c.record;
        EXPECT_EQ(store.value(c.number), before) << c.record;
    }
}

TEST(SettingStore, UnknownAndTruncatedRecordsAreReported) {
    SettingStore store(6, 384);
    auto records = store.apply(bytes("77 01 02 FA 10 00 FF 01 02"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].verdict, SettingStore::Record::Verdict::Unknown);
    EXPECT_EQ(records[1].verdict, SettingStore::Record::Verdict::Stored);
    EXPECT_EQ(records[2].verdict, SettingStore::Record::Verdict::Truncated);
    EXPECT_EQ(store.queryText(0xFA), "16");
}

TEST(SettingStore, WriteOnlyRecordsAreStoredButNeverAnswered) {
    SettingStore store(6, 384);
    store.apply(bytes("CC 01 00 D2 02 00"));
    EXPECT_EQ(store.value(0xCC), "1");
    EXPECT_EQ(store.value(0xD2), "2");
    EXPECT_FALSE(store.queryText(0xCC));
    EXPECT_FALSE(store.queryText(0x77));
}

TEST(SettingStore, FactoryValuesFollowTheModel) {
    EXPECT_EQ(SettingStore(6, 384).queryText(0x02), "7"); // 384 KB
    EXPECT_EQ(SettingStore(5, 128).queryText(0x02), "3"); // KORVA30: 128 KB
    SettingStore store(6, 384);
    EXPECT_EQ(store.queryText(0xFC), "04");
    EXPECT_EQ(store.queryText(0xF9), "220");
    EXPECT_EQ(store.queryText(0x03), "6");
}

} // namespace
} // namespace korva
