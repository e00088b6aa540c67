#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "VaultTestSupport.h"
#include "os/crypto.h"
#include "vault/Base64.h"
#include "vault/CCrypto.h"
#include "vault/MasterPassword.h"

namespace keystead::vault::test {
namespace {

std::string BinaryText(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>((i * 37 + 11) % 256));
  return text;
}

// Encrypts with the openssl command-line tool: the key is the SHA-256 digest
// of the widened password bytes, the cipher AES-256-CBC with a zero IV.
class OpensslTool {
 public:
  std::string Encrypt(const std::string& widenedPassword, const std::string& plaintext) {
    WriteFile(folder_.Path("widened.bin"), widenedPassword);
    WriteFile(folder_.Path("plain.bin"), plaintext);
    Run("openssl dgst -sha256 -r -out " + folder_.Path("key.txt") + " " +
        folder_.Path("widened.bin"));
    const std::string keyHex = ReadFile(folder_.Path("key.txt")).substr(0, 64);
    Run("openssl enc -aes-256-cbc -K " + keyHex + " -iv " + std::string(32, '0') + " -in " +
        folder_.Path("plain.bin") + " -out " + folder_.Path("cipher.b64") + " -base64 -A");
    std::string base64 = ReadFile(folder_.Path("cipher.b64"));
    while (!base64.empty() && (base64.back() == '\n' || base64.back() == '\r')) base64.pop_back();
    return base64;
  }

 private:
  static void Run(const std::string& command) {
    ASSERT_EQ(std::system((command + " 2>/dev/null").c_str()), 0) << command;
  }

  TempFolder folder_;
};

// The widening as the Windows provider sees it, written out independently:
// each byte becomes a little-endian 16-bit unit with its sign extended.
std::string WidenByHand(const std::string& password) {
  std::string widened;
  for (const unsigned char byte : password) {
    if (byte == 0) break;
    widened.push_back(static_cast<char>(byte));
    widened.push_back(static_cast<char>(byte >= 0x80 ? 0xFF : 0x00));
  }
  return widened;
}

TEST(CCryptoTest, MatchesTheOpensslCommandLineToolByteForByte) {
  const std::vector<std::string> passwords = {"", "secret", "p\xE4ss\xF6rd\xFF\x80",
                                              std::string(188, 'M') + "/+=="};
  const std::vector<std::string> texts = {"", "sometext", std::string(16, 'a'), BinaryText(100),
                                          BinaryText(1000)};
  OpensslTool openssl;
  for (const std::string& password : passwords) {
    for (const std::string& text : texts) {
      SCOPED_TRACE("password length " + std::to_string(password.size()) + ", text length " +
                   std::to_string(text.size()));
      const std::string expected = openssl.Encrypt(WidenByHand(password), text);
      const CCrypto crypto(password);
      EXPECT_EQ(crypto.Encrypt(text), expected);
      EXPECT_EQ(crypto.Decrypt(expected), text);
    }
  }
}

TEST(CCryptoTest, WidensEachByteWithItsSignUpToTheFirstZero) {
  EXPECT_EQ(CCrypto::WidenedPassword(std::string("a\x7F\x80\xFF\0b", 6)).str(),
            std::string("a\0\x7F\0\x80\xFF\xFF\xFF", 8));
  // The master password carries the zero byte that was protected with it.
  const std::string text = "same key";
  EXPECT_EQ(CCrypto(std::string("pw\0", 3)).Encrypt(text), CCrypto("pw").Encrypt(text));
  EXPECT_EQ(CCrypto(std::string("pw\0tail", 7)).Encrypt(text), CCrypto("pw").Encrypt(text));
  EXPECT_NE(CCrypto("pw2").Encrypt(text), CCrypto("pw").Encrypt(text));
}

TEST(CCryptoTest, CiphertextIsTheTextPaddedToWholeBlocksForEveryLength) {
  const CCrypto crypto("master");
  std::vector<std::size_t> lengths = {0, 1, 15, 16, 17, 31, 32, 4096, 5000};
  for (std::size_t length = 990; length <= 1010; ++length) lengths.push_back(length);
  for (const std::size_t length : lengths) {
    SCOPED_TRACE("length " + std::to_string(length));
    const std::string text = BinaryText(length);
    const std::string ciphertext = crypto.Encrypt(text);
    EXPECT_EQ(base64_decode(ciphertext).size(), (length / 16 + 1) * 16);
    EXPECT_EQ(crypto.Decrypt(ciphertext), text);
  }
  EXPECT_EQ(crypto.Encrypt("").size(), 24u);
}

TEST(CCryptoTest, NeverHandsOutGarbageAsPlaintext) {
  const CCrypto crypto("master");
  const std::string ciphertext = crypto.Encrypt("the plaintext");
  struct Case {
    const char* name;
    std::string input;
  };
  const std::vector<Case> cases = {
      {"wrong key", CCrypto("other").Encrypt("the plaintext")},
      {"not whole blocks", base64_encode(reinterpret_cast<const unsigned char*>("0123456789"), 10)},
      {"empty", ""},
      {"not base64 at all", "!!!!"},
  };
  for (const Case& c : cases) EXPECT_EQ(crypto.Decrypt(c.input), "") << c.name;
}

TEST(CCryptoTest, DecryptsOnlyThePartBeforeTheFirstNonBase64Character) {
  const CCrypto crypto("master");
  const std::string ciphertext = crypto.Encrypt("0123456789abcdef-0123456789");
  EXPECT_EQ(crypto.Decrypt(ciphertext + "!tail that is ignored"), "0123456789abcdef-0123456789");
}

TEST(MasterPasswordTest, IsFreshBase64OfAWrappedKeyBlob) {
  const std::string first = getMasterPwd();
  const std::string second = getMasterPwd();
  EXPECT_EQ(first.size(), 188u);
  EXPECT_EQ(second.size(), first.size());
  EXPECT_NE(first, second);
  EXPECT_EQ(base64_decode(first).size(), keystead::os::kWrappedSessionKeyBlobSize);
}

TEST(Base64Test, EncodesAndDecodesTheStandardVectors) {
  const std::vector<std::pair<std::string, std::string>> vectors = {{"", ""},
                                                                    {"f", "Zg=="},
                                                                    {"fo", "Zm8="},
                                                                    {"foo", "Zm9v"},
                                                                    {"foob", "Zm9vYg=="},
                                                                    {"fooba", "Zm9vYmE="},
                                                                    {"foobar", "Zm9vYmFy"},
                                                                    {"\xFB\xFF", "+/8="}};
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(base64_encode(reinterpret_cast<const unsigned char*>(plain.data()),
                            static_cast<std::uint32_t>(plain.size())),
              encoded);
    EXPECT_EQ(base64_decode(encoded), plain);
  }
  const std::string all = BinaryText(256 * 3 + 1);
  EXPECT_EQ(base64_decode(base64_encode(reinterpret_cast<const unsigned char*>(all.data()),
                                        static_cast<std::uint32_t>(all.size()))),
            all);
}

TEST(Base64Test, DecodingStopsAtPaddingOrAForeignCharacterAndKeepsPartialGroups) {
  EXPECT_EQ(base64_decode("Zm9vYg"), "foob");  // 2 characters give 1 byte
  EXPECT_EQ(base64_decode("Zm9vYmE"), "fooba");
  EXPECT_EQ(base64_decode("Zm9vY"), "foo");  // 1 character gives nothing
  EXPECT_EQ(base64_decode("Zm9v!Zm9v"), "foo");
  EXPECT_EQ(base64_decode("Zm9v\nZm9v"), "foo");
  EXPECT_EQ(base64_decode("Zg==Zm9v"), "f");
  EXPECT_EQ(base64_decode("-Zm9v"), "");
}

}  // namespace
}  // namespace keystead::vault::test
