#include <gtest/gtest.h>

#include "plugin/uri/AuthenticateFingerprint.h"

namespace corvane::larchmere::plugin::uri {
namespace {

// The call's log line is not JSON, so the logger's masking cannot see its
// secrets; full logging is off in this executable's registry.
TEST(FingerprintLogLineTest, MasksTheTransactionIdAndNonce) {
  EXPECT_EQ(AuthenticateFingerprint::CallLogLine(
                {"ana@example.com", "client-1", "en-US", "tx-secret", "nonce-secret", "2"}),
            "AuthenticateFingerprint | calling AuthenticateFingerprint: "
            "ana@example.com-client-1-en-US-X-X-2");
  EXPECT_EQ(AuthenticateFingerprint::CallLogLine({"e", "c", "u", "", "", "v"}),
            "AuthenticateFingerprint | calling AuthenticateFingerprint: e-c-u---v");
}

}  // namespace
}  // namespace corvane::larchmere::plugin::uri
