#pragma once

#include <unistd.h>

namespace keystead::os::posix {

// Owns one open file descriptor and closes it when it goes. Not thread-safe;
// never throws.
class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (descriptor_ >= 0) close(descriptor_);
  }

  int get() const { return descriptor_; }
  bool valid() const { return descriptor_ >= 0; }

  // Closes now and reports whether the close succeeded (it can report a
  // deferred write error).
  bool Close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return close(descriptor) == 0;
  }

 private:
  int descriptor_;
};

}  // namespace keystead::os::posix
