// Trust of machine-shared folders and files on POSIX: decided with fstat on
// a descriptor opened without following a link, then read through it.
#include "os/trusted_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>

#include "os/posix/file_descriptor.h"

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

// Reads up to `wanted` bytes straight into one buffer sized up front, so that
// no partial copy of the contents is left behind.
bool ReadAll(int descriptor, std::size_t wanted, SecretString& out) {
  SecretString buffer(std::string(wanted, '\0'));
  std::size_t done = 0;
  while (done < wanted) {
    const ssize_t got = read(descriptor, buffer.data() + done, wanted - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  out = SecretString(buffer.view().substr(0, done));
  return true;
}

TrustedFileRead Read(const std::string& path, std::size_t maxBytes) {
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
  if (ReadAll(file.get(), wanted, result.contents)) {
    result.status = TrustedFileRead::Status::kRead;
  }
  return result;
}

}  // namespace

std::optional<std::string> UntrustedFolderReason(const std::string& path) {
  try {
    if (!UsablePath(path)) return std::nullopt;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
      return errno == ENOENT ? std::nullopt : std::optional<std::string>("not accessible");
    }
    if (S_ISLNK(info.st_mode)) return "a symbolic link";
    if (!S_ISDIR(info.st_mode)) return "not a folder";
    return OwnerOrModeReason(info);
  } catch (const std::exception&) {
    return "not accessible";
  }
}

TrustedFileRead ReadTrustedFile(const std::string& path, std::size_t maxBytes) {
  try {
    return Read(path, maxBytes);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace keystead::os
