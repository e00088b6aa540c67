// The POSIX registry is the JSON file named by KEYSTEAD_REGISTRY, read at
// every call: each change rewrites the whole file.
#include <atomic>
#include <fstream>
#include <string>

#include "json/json.h"
#include "os/process_info.h"
#include "support/ScopedEnv.h"
#include "support/TestRegistry.h"

namespace keystead::test_support {

class TestRegistry::Store {
 public:
  explicit Store(const std::filesystem::path& folder) : file_(folder / UniqueFileName()) {
    Write();
  }

  ~Store() {
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
  }

  void Set(std::string_view keyPath, std::string_view name, const Json::Value& value) {
    root_[std::string(keyPath)][std::string(name)] = value;
    Write();
  }

  void Remove(std::string_view keyPath, std::string_view name) {
    const std::string key(keyPath);
    if (root_.isMember(key)) root_[key].removeMember(std::string(name));
    Write();
  }

 private:
  static constexpr char kVariable[] = "KEYSTEAD_REGISTRY";

  // Unique across nested objects and test programs running side by side.
  static std::string UniqueFileName() {
    static std::atomic<int> counter{0};
    return "registry-" + std::to_string(os::CurrentProcessId()) + "-" + std::to_string(counter++) +
           ".json";
  }

  void Write() const { std::ofstream(file_, std::ios::trunc) << Json::FastWriter().write(root_); }

  std::filesystem::path file_;
  ScopedEnv variable_{kVariable, file_.string()};
  Json::Value root_{Json::objectValue};
};

TestRegistry::TestRegistry(const std::filesystem::path& folder)
    : store_(std::make_unique<Store>(folder)) {}

TestRegistry::~TestRegistry() = default;

void TestRegistry::SetString(std::string_view keyPath, std::string_view name,
                             std::string_view value) {
  store_->Set(keyPath, name, Json::Value(std::string(value)));
}

void TestRegistry::SetDword(std::string_view keyPath, std::string_view name, std::uint32_t value) {
  store_->Set(keyPath, name, Json::Value(static_cast<Json::UInt>(value)));
}

void TestRegistry::Remove(std::string_view keyPath, std::string_view name) {
  store_->Remove(keyPath, name);
}

}  // namespace keystead::test_support
