#include "gestures/backup_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <unordered_set>
#include <vector>

#include "gesture_test_support.h"

namespace hushpad {
namespace {

using ::testing::ElementsAre;

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

const PreferenceKey kDragAnyHost{"com.apple.AppleMultitouchTrackpad", "TrackpadThreeFingerDrag",
                                 false};
const PreferenceKey kDragCurrentHost{"com.apple.AppleMultitouchTrackpad", "TrackpadThreeFingerDrag",
                                     true};

std::optional<std::vector<StoredValue>> decodeText(std::string_view text) {
  return decodeBackup(bytesOf(text));
}

// ---- Writing

TEST(BackupEncoding, WritesTheTwoElementExampleExactly) {
  const std::vector<StoredValue> values{{kDragAnyHost, true, true, std::nullopt},
                                        {kDragCurrentHost, false, std::nullopt, std::nullopt}};
  EXPECT_EQ(
      encodeBackup(values),
      R"([{"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":false},"existed":true,"boolValue":true},)"
      R"({"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":true},"existed":false}])");
}

TEST(BackupEncoding, WritesIntegersAsIntegersAfterTheBoolean) {
  const std::vector<StoredValue> values{{{"d", "k", false}, true, false, kInt64Min}};
  EXPECT_EQ(encodeBackup(values),
            R"([{"key":{"domain":"d","key":"k","currentHostOnly":false},"existed":true,)"
            R"("boolValue":false,"intValue":-9223372036854775808}])");
}

TEST(BackupEncoding, EmptyListIsAnEmptyArray) { EXPECT_EQ(encodeBackup({}), "[]"); }

TEST(BackupEncoding, RoundTripGivesAnEqualListInOrder) {
  const std::vector<StoredValue> values{
      {kDragAnyHost, true, true, std::nullopt},
      {kDragCurrentHost, false, std::nullopt, std::nullopt},
      {{"NSGlobalDomain", "a", false}, true, std::nullopt, kInt64Min},
      {{"NSGlobalDomain", "a", true}, true, std::nullopt, kInt64Max},
      {{"x", "both", false}, true, false, -1},
      {{"x", "neither", false}, true, std::nullopt, std::nullopt},
      {{"\"quoted\\\" \n\t\x01 é ✓", std::string("nul\0inside", 10), true}, false, true, 0},
      {{"", "", false}, false, std::nullopt, 4294967296},
  };
  EXPECT_EQ(decodeBackup(bytesOf(encodeBackup(values))), values);
}

// ---- Reading what the program does not write itself, but accepts

struct AcceptedCase {
  const char* name;
  const char* text;
  std::vector<StoredValue> expected;
  friend void PrintTo(const AcceptedCase& c, std::ostream* out) { *out << c.name; }
};

class BackupDecodingAccepts : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(BackupDecodingAccepts, Decodes) {
  EXPECT_EQ(decodeText(GetParam().text), GetParam().expected);
}

const PreferenceKey kKey{"d", "k", true};

INSTANTIATE_TEST_SUITE_P(
    OddForms, BackupDecodingAccepts,
    ::testing::Values(
        AcceptedCase{"EmptyArray", "[]", {}}, AcceptedCase{"Whitespace", " \n[ \t]\r\n", {}},
        AcceptedCase{"NullOptionals",
                     R"([{"key":{"domain":"d","key":"k","currentHostOnly":true},"existed":true,)"
                     R"("boolValue":null,"intValue":null}])",
                     {{kKey, true, std::nullopt, std::nullopt}}},
        AcceptedCase{"ExtraMembersAtBothLevels",
                     R"([{"key":{"domain":"d","key":"k","currentHostOnly":true,"x":[1,{}]},)"
                     R"("existed":true,"intValue":7,"note":"hi","boolValue2":3}])",
                     {{kKey, true, std::nullopt, 7}}},
        AcceptedCase{"MembersInAnyOrder",
                     R"([{"intValue":-5,"existed":true,)"
                     R"("key":{"currentHostOnly":true,"key":"k","domain":"d"}}])",
                     {{kKey, true, std::nullopt, -5}}},
        AcceptedCase{"ExistedWithNoValue",
                     R"([{"key":{"domain":"d","key":"k","currentHostOnly":true},"existed":true}])",
                     {{kKey, true, std::nullopt, std::nullopt}}},
        AcceptedCase{"BothValues",
                     R"([{"key":{"domain":"d","key":"k","currentHostOnly":true},"existed":true,)"
                     R"("boolValue":true,"intValue":3}])",
                     {{kKey, true, true, 3}}},
        AcceptedCase{
            "Int64Extremes",
            R"([{"key":{"domain":"d","key":"k","currentHostOnly":true},"existed":true,)"
            R"("intValue":9223372036854775807},)"
            R"({"key":{"domain":"d","key":"k","currentHostOnly":true},"existed":true,)"
            R"("intValue":-9223372036854775808}])",
            {{kKey, true, std::nullopt, kInt64Max}, {kKey, true, std::nullopt, kInt64Min}}},
        AcceptedCase{
            "EscapedText",
            R"([{"key":{"domain":"\u00e9\ud83d\ude00","key":"a\/b","currentHostOnly":true},)"
            R"("existed":false}])",
            {{{"é😀", "a/b", true}, false, std::nullopt, std::nullopt}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Refusing anything else, always as a whole

struct RefusedCase {
  const char* name;
  std::string text;
  friend void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }
};

class BackupDecodingRefuses : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(BackupDecodingRefuses, TheWholeBackup) {
  EXPECT_EQ(decodeText(GetParam().text), std::nullopt) << GetParam().text;
}

// A readable element, and backups of one element with a part replaced.
const std::string kGoodKey = R"({"domain":"d","key":"k","currentHostOnly":true})";
const std::string kGoodElement = R"({"key":)" + kGoodKey + R"(,"existed":true})";
std::string withKey(const std::string& key) { return R"([{"key":)" + key + R"(,"existed":true}])"; }
std::string withRest(const std::string& rest) {
  return R"([{"key":)" + kGoodKey + "," + rest + "}]";
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, BackupDecodingRefuses,
    ::testing::Values(
        // Not JSON, or not an array.
        RefusedCase{"Empty", ""}, RefusedCase{"NotJson", "backup"},
        RefusedCase{"Truncated", "[" + kGoodElement},
        RefusedCase{"TrailingComma", "[" + kGoodElement + ",]"},
        RefusedCase{"TrailingText", "[] x"}, RefusedCase{"TwoDocuments", "[][]"},
        RefusedCase{"Comment", "/* c */[]"}, RefusedCase{"Object", kGoodElement},
        RefusedCase{"Null", "null"}, RefusedCase{"Number", "1"}, RefusedCase{"Text", R"("[]")"},
        RefusedCase{"InvalidUtf8InText",
                    withKey("{\"domain\":\"\xff\",\"key\":\"k\",\"currentHostOnly\":true}")},
        RefusedCase{"TruncatedUtf8InText",
                    withKey("{\"domain\":\"\xc3\",\"key\":\"k\",\"currentHostOnly\":true}")},
        RefusedCase{"InvalidUtf8OutsideText", "[\xff]"},
        RefusedCase{"LoneSurrogateEscape",
                    withKey(R"({"domain":"\ud800","key":"k","currentHostOnly":true})")},
        // Elements that are not objects; one bad element spoils the rest.
        RefusedCase{"NullElement", "[null]"}, RefusedCase{"ArrayElement", "[[]]"},
        RefusedCase{"NumberElement", "[1]"},
        RefusedCase{"GoodThenBad", "[" + kGoodElement + ",{}]"},
        // The nested key.
        RefusedCase{"NoKey", R"([{"existed":true,"other":{}}])"},
        RefusedCase{"KeyIsText", withKey(R"("d.k")")}, RefusedCase{"KeyIsNull", withKey("null")},
        RefusedCase{"NoDomain", withKey(R"({"key":"k","currentHostOnly":true})")},
        RefusedCase{"NoKeyText", withKey(R"({"domain":"d","currentHostOnly":true})")},
        RefusedCase{"NoCurrentHostOnly", withKey(R"({"domain":"d","key":"k"})")},
        RefusedCase{"DomainIsNumber", withKey(R"({"domain":1,"key":"k","currentHostOnly":true})")},
        RefusedCase{"DomainIsNull", withKey(R"({"domain":null,"key":"k","currentHostOnly":true})")},
        RefusedCase{"CurrentHostOnlyIsText",
                    withKey(R"({"domain":"d","key":"k","currentHostOnly":"true"})")},
        RefusedCase{"CurrentHostOnlyIsNumber",
                    withKey(R"({"domain":"d","key":"k","currentHostOnly":0})")},
        // existed, boolValue, intValue.
        RefusedCase{"NoExisted", withRest(R"("boolValue":true)")},
        RefusedCase{"ExistedIsNumber", withRest(R"("existed":1)")},
        RefusedCase{"ExistedIsNull", withRest(R"("existed":null)")},
        RefusedCase{"ExistedIsText", withRest(R"("existed":"true")")},
        RefusedCase{"BoolValueIsNumber", withRest(R"("existed":true,"boolValue":1)")},
        RefusedCase{"BoolValueIsText", withRest(R"("existed":true,"boolValue":"false")")},
        RefusedCase{"IntValueIsText", withRest(R"("existed":true,"intValue":"5")")},
        RefusedCase{"IntValueIsBool", withRest(R"("existed":true,"intValue":true)")},
        RefusedCase{"IntValueIsArray", withRest(R"("existed":true,"intValue":[1])")},
        RefusedCase{"IntValueHasFraction", withRest(R"("existed":true,"intValue":1.5)")},
        RefusedCase{"IntValueWrittenAsReal", withRest(R"("existed":true,"intValue":1.0)")},
        RefusedCase{"IntValueWithExponent", withRest(R"("existed":true,"intValue":1e3)")},
        RefusedCase{"IntValueAboveInt64",
                    withRest(R"("existed":true,"intValue":9223372036854775808)")},
        RefusedCase{"IntValueBelowInt64",
                    withRest(R"("existed":true,"intValue":-9223372036854775809)")},
        RefusedCase{"IntValueBeyond64Bits",
                    withRest(R"("existed":true,"intValue":18446744073709551616)")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BackupDecoding, RefusesDeepNestingWithoutRunningOutOfStack) {
  const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
  EXPECT_EQ(decodeText(deep), std::nullopt);
  EXPECT_EQ(decodeText(std::string(100'000, '[')), std::nullopt);
}

// ---- Keys

TEST(PreferenceKeyIdentity, HostCopiesAreDistinctAndEqualKeysHashAlike) {
  const std::unordered_set<PreferenceKey, PreferenceKeyHash> keys{kDragAnyHost,
                                                                  kDragCurrentHost,
                                                                  PreferenceKey{kDragAnyHost},
                                                                  {"d", "k", false},
                                                                  {"dk", "", false}};
  EXPECT_EQ(keys.size(), 4u);
  EXPECT_EQ(PreferenceKeyHash{}(kDragAnyHost), PreferenceKeyHash{}(PreferenceKey{kDragAnyHost}));
  EXPECT_NE(kDragAnyHost, kDragCurrentHost);
}

}  // namespace
}  // namespace hushpad
