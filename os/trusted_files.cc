// What the trusted file functions do on every platform: never throw, and
// read into one secret buffer.
#include "os/trusted_files.h"

#include <exception>

#include "os/trusted_files_platform.h"

namespace keystead::os {

bool ReadSecretContents(std::size_t wanted, SecretString& out,
                        const std::function<std::ptrdiff_t(char*, std::size_t)>& readSome) {
  SecretString buffer(std::string(wanted, '\0'));
  std::size_t done = 0;
  while (done < wanted) {
    const std::ptrdiff_t got = readSome(buffer.data() + done, wanted - done);
    if (got < 0) return false;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  out = SecretString(buffer.view().substr(0, done));
  return true;
}

std::optional<std::string> UntrustedFolderReason(const std::string& path) {
  try {
    return PlatformUntrustedFolderReason(path);
  } catch (const std::exception&) {
    return "not accessible";
  }
}

TrustedFileRead ReadTrustedFile(const std::string& path, std::size_t maxBytes) {
  try {
    return PlatformReadTrustedFile(path, maxBytes);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace keystead::os
