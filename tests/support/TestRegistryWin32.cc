// HKEY_LOCAL_MACHINE of the test process is mapped onto
// HKEY_CURRENT_USER\Software\KeysteadTests\<process>-<n> with
// RegOverridePredefKey, which every module of the process sees, the DLLs
// under test included. The key is deleted with the object.
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "os/process_info.h"
#include "os/win32/wide_text.h"
#include "support/TestRegistry.h"

namespace keystead::test_support {
namespace {

std::wstring Wide(std::string_view text) {
  const std::optional<std::wstring> wide = os::win32::WideFromUtf8(text);
  if (!wide) throw std::invalid_argument("not UTF-8: " + std::string(text));
  return *wide;
}

void Check(LONG status, const char* what) {
  if (status != ERROR_SUCCESS) {
    throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
  }
}

}  // namespace

class TestRegistry::Store {
 public:
  Store() : previous_(current_) {
    static std::atomic<int> counter{0};
    path_ = L"Software\\KeysteadTests\\" + std::to_wstring(os::CurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    Check(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &root_, nullptr),
          "RegCreateKeyExW");
    Check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_), "RegOverridePredefKey");
    current_ = this;
  }

  ~Store() {
    current_ = previous_;
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, previous_ ? previous_->root_ : nullptr);
    RegDeleteTreeW(root_, nullptr);
    RegCloseKey(root_);
    RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
  }

  void Set(std::string_view keyPath, std::string_view name, DWORD type, const void* data,
           DWORD size) {
    HKEY key = nullptr;
    Check(RegCreateKeyExW(root_, Wide(keyPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr),
          "RegCreateKeyExW");
    const LONG status =
        RegSetValueExW(key, Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    Check(status, "RegSetValueExW");
  }

  void Remove(std::string_view keyPath, std::string_view name) {
    RegDeleteKeyValueW(root_, Wide(keyPath).c_str(), Wide(name).c_str());
  }

 private:
  static inline Store* current_ = nullptr;

  Store* previous_;
  std::wstring path_;
  HKEY root_ = nullptr;
};

TestRegistry::TestRegistry(const std::filesystem::path&) : store_(std::make_unique<Store>()) {}

TestRegistry::~TestRegistry() = default;

void TestRegistry::SetString(std::string_view keyPath, std::string_view name,
                             std::string_view value) {
  const std::wstring text = Wide(value);
  store_->Set(keyPath, name, REG_SZ, text.c_str(),
              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void TestRegistry::SetDword(std::string_view keyPath, std::string_view name, std::uint32_t value) {
  const DWORD number = value;
  store_->Set(keyPath, name, REG_DWORD, &number, sizeof number);
}

void TestRegistry::Remove(std::string_view keyPath, std::string_view name) {
  store_->Remove(keyPath, name);
}

}  // namespace keystead::test_support
