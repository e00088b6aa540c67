// Trust of machine-shared folders and files on POSIX: decided with fstat on
// a descriptor opened without following a link, then read through it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "os/posix/file_descriptor.h"
#include "os/trusted_files_platform.h"

namespace keystead::os {
namespace {

using posix::FileDescriptor;

bool UsablePath(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

// The owner and mode rule shared by folders and files.
std::optional<std::string> OwnerOrModeReason(const struct stat& info) {
  if (info.st_uid != 0 && info.st_uid != geteuid()) return "owned by another user";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "writable by group or others";
  return std::nullopt;
}

std::optional<std::string> FileReason(const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  return OwnerOrModeReason(info);
}

// Why open failed, as a reason when it is one.
std::optional<std::string> OpenFailureReason(int error) {
  if (error == ELOOP) return "a symbolic link";
  if (error == ENXIO) return "not a regular file";  // a socket
  return std::nullopt;
}

// One read, a pending interruption retried.
std::ptrdiff_t ReadSome(int descriptor, char* buffer, std::size_t size) {
  ssize_t got = 0;
  do {
    got = read(descriptor, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace

TrustedFileRead PlatformReadTrustedFile(const std::string& path, std::size_t maxBytes) {
  TrustedFileRead result;
  if (!UsablePath(path)) return result;
  const FileDescriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) {
    const int error = errno;
    if (error == ENOENT) {
      result.status = TrustedFileRead::Status::kMissing;
    } else if (std::optional<std::string> reason = OpenFailureReason(error)) {
      result.status = TrustedFileRead::Status::kUntrusted;
      result.reason = std::move(*reason);
    }
    return result;
  }
  struct stat info {};
  if (fstat(file.get(), &info) != 0) return result;
  if (std::optional<std::string> reason = FileReason(info)) {
    result.status = TrustedFileRead::Status::kUntrusted;
    result.reason = std::move(*reason);
    return result;
  }
  const std::size_t wanted = std::min(maxBytes, static_cast<std::size_t>(info.st_size));
  const auto readSome = [&file](char* buffer, std::size_t size) {
    return ReadSome(file.get(), buffer, size);
  };
  if (ReadSecretContents(wanted, result.contents, readSome)) {
    result.status = TrustedFileRead::Status::kRead;
  }
  return result;
}

std::optional<std::string> PlatformUntrustedFolderReason(const std::string& path) {
  if (!UsablePath(path)) return std::nullopt;
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? std::nullopt : std::optional<std::string>("not accessible");
  }
  if (S_ISLNK(info.st_mode)) return "a symbolic link";
  if (!S_ISDIR(info.st_mode)) return "not a folder";
  return OwnerOrModeReason(info);
}

}  // namespace keystead::os
