#include "plugin/platform/VSUAPI.h"

#include <atomic>
#include <exception>
#include <filesystem>
#include <optional>
#include <utility>

#include "os/code_signature.h"
#include "os/debug_output.h"
#include "os/dynamic_library.h"
#include "os/file_system.h"
#include "os/registry.h"
#include "plugin/platform/Mutex.h"

namespace Corvane::Keystead::Vessa {
namespace {

using corvane::larchmere::plugin::Mutex;
using corvane::larchmere::plugin::MutexLock;

constexpr char kSuiteKey[] = "SOFTWARE\\Corvane\\CSH";
constexpr char kSuiteInstallDirValue[] = "Install Dir";
constexpr std::size_t kInstallDirBufferBytes = 521;

// The process-wide binding. The function pointers are atomics so that callers
// may read them without the binding lock while another thread binds.
struct Binding {
  Mutex lock;  // serialises binding and unloading
  std::optional<keystead::os::DynamicLibrary> module KS_GUARDED_BY(lock);
  std::atomic<bool> loaded{false};
  std::atomic<GetVSUAccountEmailFunction> getVSUAccountEmail{nullptr};
  std::atomic<NotifyChangeFunction> notifyChange{nullptr};
  std::atomic<CanHideARPFunction> canHideARP{nullptr};
};

Binding& TheBinding() {
  static Binding binding;
  return binding;
}

void Trace(const std::string& text) { keystead::os::DebugOutput("VSUAPI - " + text); }

template <typename Function>
Function Resolve(const keystead::os::DynamicLibrary& library, const char* name) {
  return reinterpret_cast<Function>(library.Symbol(name));
}

// The suite library's path; nullopt when the suite's folder is not known.
std::optional<std::string> SuiteLibraryPath() {
  const std::optional<std::string> folder =
      keystead::os::ReadMachineString(kSuiteKey, kSuiteInstallDirValue, kInstallDirBufferBytes);
  if (!folder || folder->empty()) {
    Trace("LoadVSUAPI - suite install folder not found in the registry");
    return std::nullopt;
  }
  const std::filesystem::path folderPath = keystead::os::PathFromUtf8(*folder);
  // A relative folder would be resolved against whatever the current folder is.
  if (!folderPath.is_absolute()) {
    Trace("LoadVSUAPI - suite install folder is not an absolute path: " + *folder);
    return std::nullopt;
  }
  return keystead::os::Utf8FromPath(folderPath / keystead::os::SharedLibraryFileName("CvVSUAPI"));
}

void LoadVSUAPI(Binding& binding) KS_REQUIRES(binding.lock) {
  const std::optional<std::string> path = SuiteLibraryPath();
  if (!path) return;
  const keystead::os::CodeSignatureVerdict verdict = keystead::os::CheckCodeSignature(*path);
  if (!verdict.trusted) {
    Trace("LoadVSUAPI - " + *path + " not loaded: " + verdict.reason);
    return;
  }
  std::optional<keystead::os::DynamicLibrary> library = keystead::os::DynamicLibrary::Open(*path);
  if (!library) {
    Trace("LoadVSUAPI - " + *path + " could not be loaded");
    return;
  }
  binding.getVSUAccountEmail = Resolve<GetVSUAccountEmailFunction>(*library, "GetVSUAccountEmail");
  binding.notifyChange = Resolve<NotifyChangeFunction>(*library, "NotifyChange");
  binding.canHideARP = Resolve<CanHideARPFunction>(*library, "CanHideARP");
  binding.module = std::move(library);
  binding.loaded = true;
}

}  // namespace

VSUAPI::~VSUAPI() {
  Binding& binding = TheBinding();
  MutexLock guard(binding.lock);
  binding.getVSUAccountEmail = nullptr;
  binding.notifyChange = nullptr;
  binding.canHideARP = nullptr;
  binding.loaded = false;
  binding.module.reset();
}

bool VSUAPI::IsLoaded() { return TheBinding().loaded; }

void VSUAPI::BindIfNeeded() {
  try {
    Binding& binding = TheBinding();
    MutexLock guard(binding.lock);
    if (!binding.module) LoadVSUAPI(binding);
  } catch (const std::exception& exception) {
    Trace(std::string("LoadVSUAPI - failed: ") + exception.what());
  }
}

GetVSUAccountEmailFunction VSUAPI::BoundGetVSUAccountEmail() {
  BindIfNeeded();
  return TheBinding().getVSUAccountEmail;
}

NotifyChangeFunction VSUAPI::BoundNotifyChange() {
  BindIfNeeded();
  return TheBinding().notifyChange;
}

CanHideARPFunction VSUAPI::BoundCanHideARP() {
  BindIfNeeded();
  return TheBinding().canHideARP;
}

}  // namespace Corvane::Keystead::Vessa
