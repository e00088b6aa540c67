// Machine-shared files on POSIX. A file is published without replacing one:
// it is written to a temporary file beside the target, flushed, then
// hard-linked to the target name (link refuses an existing name). Where the
// file system has no hard links, a rename that refuses to replace does the same.
#include "os/machine_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "os/posix/file_descriptor.h"

namespace keystead::os {
namespace {

constexpr mode_t kPublishedFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;     // 0644
constexpr mode_t kFolderMode = S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH;  // 0755

using posix::FileDescriptor;

bool WriteAll(int descriptor, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = write(descriptor, contents.data(), contents.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes and flushes the whole temporary file; false on any failure.
bool FillTemporaryFile(FileDescriptor& file, std::string_view contents) {
  return fchmod(file.get(), kPublishedFileMode) == 0 && WriteAll(file.get(), contents) &&
         fsync(file.get()) == 0 && file.Close();
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Makes the new directory entry itself durable; best effort.
void FlushFolder(const std::string& path) {
  FileDescriptor folder(open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) fsync(folder.get());
}

bool LinksUnsupported(int error) {
  return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

PublishResult LinkWithoutReplacing(const std::string& temporary, const std::string& path) {
  if (link(temporary.c_str(), path.c_str()) == 0) return PublishResult::kPublished;
  if (errno == EEXIST) return PublishResult::kAlreadyExists;
  if (!LinksUnsupported(errno)) return PublishResult::kFailed;
  if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
    return PublishResult::kPublished;
  }
  return errno == EEXIST ? PublishResult::kAlreadyExists : PublishResult::kFailed;
}

PublishResult Publish(const std::string& path, std::string_view contents) {
  if (path.empty() || path.find('\0') != std::string::npos) return PublishResult::kFailed;
  // mkostemps fills in the X's; the 4 is the length of the ".tmp" suffix.
  std::string temporaryPath = path + ".XXXXXX.tmp";
  FileDescriptor file(mkostemps(temporaryPath.data(), 4, O_CLOEXEC));
  if (!file.valid()) return PublishResult::kFailed;

  PublishResult result = PublishResult::kFailed;
  if (FillTemporaryFile(file, contents)) result = LinkWithoutReplacing(temporaryPath, path);
  // After a link both names point at the file; after a rename this finds nothing.
  unlink(temporaryPath.c_str());
  if (result == PublishResult::kPublished) FlushFolder(path);
  return result;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool CreateMachineSharedFolder(const std::string& path) {
  try {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    // The umask may have narrowed the mode; the folder is ours, so set it exactly.
    if (mkdir(path.c_str(), kFolderMode) == 0) return chmod(path.c_str(), kFolderMode) == 0;
    return errno == EEXIST && IsFolder(path);
  } catch (const std::exception&) {
    return false;
  }
}

PublishResult PublishNewFile(const std::string& path, std::string_view contents) {
  try {
    return Publish(path, contents);
  } catch (const std::exception&) {
    return PublishResult::kFailed;
  }
}

}  // namespace keystead::os
