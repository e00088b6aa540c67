#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "os/secure_memory.h"

namespace keystead::os {
namespace {

bool AllZero(const char* bytes, std::size_t count) {
  return std::all_of(bytes, bytes + count, [](char byte) { return byte == '\0'; });
}

TEST(SecureMemoryTest, WipeStringZeroesTheWholeBufferSlackIncluded) {
  std::string text(100, 'k');
  text.resize(10);  // the other 90 bytes still hold key bytes
  const char* buffer = text.data();
  const std::size_t capacity = text.capacity();
  WipeString(text);
  EXPECT_TRUE(text.empty());
  ASSERT_EQ(text.data(), buffer) << "the string keeps its buffer, so it can be inspected";
  EXPECT_TRUE(AllZero(buffer, capacity));
}

TEST(SecureMemoryTest, TakingOverAShortTextWipesWhatTheSourceKept) {
  // A short text lives inside the string object, which a move only copies.
  std::string text = "short key";
  const char* inside = text.data();
  const SecretString owner(std::move(text));
  EXPECT_EQ(owner.view(), "short key");
  EXPECT_TRUE(AllZero(inside, 9));
}

TEST(SecureMemoryTest, MovingASecretLeavesNothingInTheSource) {
  SecretString first(std::string(64, 'k'));
  SecretString second(std::move(first));
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(second.view(), std::string(64, 'k'));

  SecretString third(std::string("x"));
  third = std::move(second);
  EXPECT_TRUE(second.empty());
  EXPECT_EQ(third.size(), 64u);
  EXPECT_EQ(third.Copy(), std::string(64, 'k'));
}

}  // namespace
}  // namespace keystead::os
