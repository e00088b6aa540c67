// The POSIX stand-in for code-signature verification: a module is trusted
// when neither it nor its folder can be changed by anyone but root or the
// user running this process.
#include "os/code_signature.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <exception>
#include <utility>

#include "os/code_signature_platform.h"

namespace keystead::os {
namespace {

CodeSignatureVerdict Untrusted(std::string reason) { return {false, std::move(reason)}; }

std::optional<std::string> ResolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

bool OwnedByTrustedUser(const struct stat& info) {
  return info.st_uid == 0 || info.st_uid == geteuid();
}

bool WritableByOthers(const struct stat& info) { return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

std::string ParentFolder(const std::string& resolvedPath) {
  const std::size_t slash = resolvedPath.rfind('/');
  return slash == 0 ? std::string("/") : resolvedPath.substr(0, slash);
}

CodeSignatureVerdict PlatformCheck(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return Untrusted("invalid path");
  const std::optional<std::string> resolved = ResolvedPath(path);
  if (!resolved) return Untrusted("file not found");

  struct stat file {};
  if (lstat(resolved->c_str(), &file) != 0) return Untrusted("file not found");
  if (!S_ISREG(file.st_mode)) return Untrusted("not a regular file");
  if (!OwnedByTrustedUser(file)) return Untrusted("file owned by another user");
  if (WritableByOthers(file)) return Untrusted("file writable by group or others");

  struct stat folder {};
  if (stat(ParentFolder(*resolved).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
    return Untrusted("folder not found");
  }
  if (!OwnedByTrustedUser(folder)) return Untrusted("folder owned by another user");
  if (WritableByOthers(folder)) return Untrusted("folder writable by group or others");
  return {true, {}};
}

}  // namespace

CodeSignatureVerdict PlatformCheckCodeSignature(const std::string& path) {
  return PlatformCheck(path);
}

std::optional<std::string> CurrentExecutablePath() {
  try {
    std::string buffer(PATH_MAX, '\0');
    while (true) {
      const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
      if (length < 0) return std::nullopt;
      if (static_cast<std::size_t>(length) < buffer.size()) {
        buffer.resize(static_cast<std::size_t>(length));
        return buffer;
      }
      buffer.resize(buffer.size() * 2);
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> ModulePathOf(const void* addressInModule) {
  try {
    Dl_info info{};
    link_map* module = nullptr;
    if (dladdr1(addressInModule, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) == 0 ||
        module == nullptr) {
      return std::nullopt;
    }
    // The loader names the main program with an empty text.
    if (module->l_name == nullptr || module->l_name[0] == '\0') return CurrentExecutablePath();
    return std::string(module->l_name);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
