#include <gtest/gtest.h>

#include <string>

#include "plugin/common/JsonText.h"

namespace corvane::larchmere::plugin::common {
namespace {

struct ReaderCase {
  const char* name;
  std::string text;
  bool strictAccepts;
  bool lenientAccepts;
};

class JsonReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(JsonReaderTest, AcceptsWhatTheClassicReaderAccepts) {
  const ReaderCase& c = GetParam();
  Json::Value strict;
  Json::Value lenient;
  EXPECT_EQ(ParseStrictJson(c.text, strict), c.strictAccepts);
  EXPECT_EQ(ParseLenientJson(c.text, lenient), c.lenientAccepts);
}

const std::string kTooDeep = std::string(1100, '[') + std::string(1100, ']');

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonReaderTest,
    testing::Values(ReaderCase{"Object", R"({"a":[1,{"b":null}]})", true, true},
                    ReaderCase{"TrailingCommaInObject", R"({"a":1,})", false, false},
                    ReaderCase{"TrailingCommaInArray", "[1,]", false, false},
                    ReaderCase{"TrailingCommaInNestedObject", R"({"a":{"b":1,}})", false, false},
                    ReaderCase{"ByteOrderMark", "\xEF\xBB\xBF{}", false, false},
                    ReaderCase{"Comments", "/* a */ {\"a\":1} // b", false, true},
                    ReaderCase{"NumberRoot", "5", false, true},
                    ReaderCase{"StringRoot", "\"a\"", false, true},
                    ReaderCase{"ArrayRoot", "[1]", true, true},
                    ReaderCase{"Empty", "", false, false},
                    // Deeper than the reader's stack limit: refused, not thrown.
                    ReaderCase{"TooDeep", kTooDeep, false, false}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::common
