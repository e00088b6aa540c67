#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "os/code_signature.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace keystead::vault::test {

using test_support::ReadFile;
using test_support::ScopedEnv;
using test_support::TempFolder;
using test_support::WriteFile;

// Owns a text handed out by a flat function of the vault, given back to the
// vault through `Free` when it goes.
template <auto Free>
struct FreeWith {
  void operator()(char* result) const { Free(result); }
};
template <auto Free>
using OwnedResult = std::unique_ptr<char, FreeWith<Free>>;

inline os::CodeSignatureVerdict TrustEverything(const std::string&) { return {true, {}}; }

// A machine of its own for one test: the machine-wide application-data
// folder and the machine key live in a temporary folder, and every module
// passes the code-signature check unless a test installs another verifier.
class VaultMachine {
 public:
  VaultMachine()
      : programData_("KEYSTEAD_PROGRAMDATA", CreateFolder("programdata")),
        machineKey_("KEYSTEAD_MACHINE_KEY_FILE", root_.Path("etc-keystead/machine.key")),
        verifier_(TrustEverything) {}

  std::string ProgramData() const { return root_.Path("programdata"); }
  std::string VaultFolder() const { return root_.Path("programdata/Keystead"); }
  std::string VaultFile() const { return root_.Path("programdata/Keystead/KeysteadVault.dat"); }
  std::string MachineKeyFile() const { return root_.Path("etc-keystead/machine.key"); }
  std::string Path(const std::string& relative) const { return root_.Path(relative); }

 private:
  std::string CreateFolder(const std::string& relative) {
    std::filesystem::create_directories(root_.Path(relative));
    return root_.Path(relative);
  }

  TempFolder root_;
  ScopedEnv programData_;
  ScopedEnv machineKey_;
  os::ScopedCodeSignatureVerifierForTesting verifier_;
};

// A test on a machine of its own (see VaultMachine).
class VaultTest : public ::testing::Test {
 protected:
  VaultMachine machine_;
};

}  // namespace keystead::vault::test
