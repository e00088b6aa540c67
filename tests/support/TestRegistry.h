#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace keystead::test_support {

// A private HKEY_LOCAL_MACHINE for the life of the object, so that tests set
// up registry values without touching the machine. On POSIX it points
// KEYSTEAD_REGISTRY at a file in the given folder; on Windows it maps
// HKEY_LOCAL_MACHINE of this process onto a throw-away key of the current
// user. Objects nest: the newest one is in force, and destroying it brings
// back the one before. Create and destroy them outside the threads of a test;
// the values may be changed while code under test reads them.
class TestRegistry {
 public:
  explicit TestRegistry(const std::filesystem::path& folder);
  ~TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  // Key paths are written with backslashes, e.g. "SOFTWARE\\Keystead\\Settings".
  void SetString(std::string_view keyPath, std::string_view name, std::string_view value);
  void SetDword(std::string_view keyPath, std::string_view name, std::uint32_t value);
  void Remove(std::string_view keyPath, std::string_view name);

 private:
  class Store;
  std::unique_ptr<Store> store_;
};

}  // namespace keystead::test_support
