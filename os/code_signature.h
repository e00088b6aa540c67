#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace keystead::os {

// Outcome of checking one module file: trusted, or a short reason why not.
struct CodeSignatureVerdict {
  bool trusted = false;
  std::string reason;  // empty when trusted
};

// Checks that the module file at path may be trusted to run code in this
// process. Windows verifies its Authenticode signature; POSIX requires a
// regular file owned by root or by the effective user, writable by nobody
// else (no group or other write bits), in a folder that meets the same
// ownership and write rules. Symbolic links are resolved first. An empty
// path, or one that cannot be resolved, fails. Thread-safe; never throws.
CodeSignatureVerdict CheckCodeSignature(const std::string& path);

// CheckCodeSignature(path).trusted.
bool VerifyCodeSignature(const std::string& path);

// Absolute path of the executable file of the calling process; nullopt when
// it cannot be determined. Thread-safe.
std::optional<std::string> CurrentExecutablePath();

// Path of the executable or shared library whose image contains the given
// address (a function or a static object of that module); nullopt when no
// loaded module contains it. Thread-safe.
std::optional<std::string> ModulePathOf(const void* addressInModule);

// Test-only: while an object of this class lives, CheckCodeSignature asks
// the given verifier instead of the platform. The previous verifier returns
// when it is destroyed, so objects must be destroyed in reverse order of
// creation. Installing is thread-safe, but tests install before they start
// threads. Production code never creates one.
class ScopedCodeSignatureVerifierForTesting {
 public:
  using Verifier = std::function<CodeSignatureVerdict(const std::string& path)>;

  explicit ScopedCodeSignatureVerifierForTesting(Verifier verifier);
  ~ScopedCodeSignatureVerifierForTesting();
  ScopedCodeSignatureVerifierForTesting(const ScopedCodeSignatureVerifierForTesting&) = delete;
  ScopedCodeSignatureVerifierForTesting& operator=(const ScopedCodeSignatureVerifierForTesting&) =
      delete;

 private:
  std::shared_ptr<const Verifier> previous_;
};

// Test-only, for the test hooks that libraries export: installs a verifier
// that trusts exactly the paths for which `trusts` is true, in place of the
// platform check, until it is called again; an empty function brings the
// platform check back. Not to be mixed with scoped verifiers in one module.
void SetCodeSignatureVerifierForTesting(std::function<bool(const std::string& path)> trusts);

}  // namespace keystead::os
