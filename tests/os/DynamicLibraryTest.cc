#include <gtest/gtest.h>

#include <utility>

#include "os/dynamic_library.h"

namespace keystead::os {
namespace {

TEST(DynamicLibraryTest, ResolvesExportedSymbolsOnly) {
  auto library = DynamicLibrary::Open("libm.so.6");
  ASSERT_TRUE(library);
  auto* cosine = reinterpret_cast<double (*)(double)>(library->Symbol("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(library->Symbol("GetVSUAccountEmail"), nullptr);
  EXPECT_EQ(library->Symbol(nullptr), nullptr);

  DynamicLibrary moved = std::move(*library);
  EXPECT_NE(moved.Symbol("cos"), nullptr);
  EXPECT_EQ(library->Symbol("cos"), nullptr) << "a moved-from library holds nothing";
}

TEST(DynamicLibraryTest, MissingLibrariesDoNotOpen) {
  EXPECT_FALSE(DynamicLibrary::Open("/nonexistent/libCvVSUAPI.so"));
  EXPECT_FALSE(DynamicLibrary::Open(""));
}

TEST(DynamicLibraryTest, SharedLibraryFileNameFollowsThePlatform) {
  EXPECT_EQ(SharedLibraryFileName("CvVSUAPI"), "libCvVSUAPI.so");
}

}  // namespace
}  // namespace keystead::os
