// Every test of this executable runs with private folders (see the header).
#include "support/PrivateFoldersEnvironment.h"

namespace {

testing::Environment* const kPrivateFolders = testing::AddGlobalTestEnvironment(
    new keystead::test_support::PrivateFoldersEnvironment("keystead-common-tests"));

}  // namespace
