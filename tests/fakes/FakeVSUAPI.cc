// A stand-in for the suite's account library, built twice: with
// FAKE_VSUAPI_ALL_EXPORTS set to 1 it exports GetVSUAccountEmail,
// NotifyChange and CanHideARP; with 0 only NotifyChange.
//
// Its answers come from environment variables, read at every call:
//   FAKE_VSUAPI_EMAIL         the account e-mail (UTF-8); unset: no account
//   FAKE_VSUAPI_EMAIL_STATUS  status of GetVSUAccountEmail; default 0 with an
//                             e-mail, 1168 (not found) without
//   FAKE_VSUAPI_EMAIL_FILL    "1": fill the whole buffer with 'a', unterminated
//   FAKE_VSUAPI_NOTIFY_STATUS status of NotifyChange; default 0
//   FAKE_VSUAPI_CANHIDE       result of CanHideARP; default 0
//   FAKE_VSUAPI_LOG           file that receives one line per load and call
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#ifndef FAKE_VSUAPI_ALL_EXPORTS
#error "FAKE_VSUAPI_ALL_EXPORTS must be 0 or 1"
#endif

#ifdef _WIN32
#define FAKE_VSUAPI_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_VSUAPI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The exports keep their C names inside the namespace.
namespace keystead::test {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::uint32_t NumberVariable(const char* name, std::uint32_t fallback) {
  const std::string value = Variable(name);
  return value.empty() ? fallback : static_cast<std::uint32_t>(std::stoul(value));
}

void Record(const std::string& line) {
  const std::string path = Variable("FAKE_VSUAPI_LOG");
  if (!path.empty()) std::ofstream(path, std::ios::app) << line << '\n';
}

#if FAKE_VSUAPI_ALL_EXPORTS

// Enough UTF-8 decoding for the addresses the tests use (the basic plane).
std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    char32_t codePoint = byte;
    std::size_t length = 1;
    if (byte >= 0xE0 && i + 2 < utf8.size()) {
      codePoint = ((byte & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      length = 3;
    } else if (byte >= 0xC0 && i + 1 < utf8.size()) {
      codePoint = ((byte & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      length = 2;
    }
    out.push_back(static_cast<char16_t>(codePoint));
    i += length;
  }
  return out;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text != nullptr && *text != u'\0'; ++text) {
    out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  }
  return out;
}

#endif

__attribute__((constructor)) void RecordLoad() { Record("load"); }

}  // namespace

FAKE_VSUAPI_EXPORT std::uint32_t NotifyChange(void* reserved1, void* reserved2, const char* command,
                                              int flags) {
  Record(std::string("NotifyChange ") + (reserved1 == nullptr ? "null " : "set ") +
         (reserved2 == nullptr ? "null [" : "set [") + (command == nullptr ? "" : command) + "] " +
         std::to_string(flags));
  return NumberVariable("FAKE_VSUAPI_NOTIFY_STATUS", 0);
}

#if FAKE_VSUAPI_ALL_EXPORTS

FAKE_VSUAPI_EXPORT std::uint32_t GetVSUAccountEmail(char16_t* buffer, std::uint32_t* size) {
  Record("GetVSUAccountEmail " + std::to_string(size == nullptr ? 0 : *size));
  if (buffer == nullptr || size == nullptr) return 87;
  const std::string email = Variable("FAKE_VSUAPI_EMAIL");
  const std::uint32_t status = NumberVariable("FAKE_VSUAPI_EMAIL_STATUS", email.empty() ? 1168 : 0);
  if (Variable("FAKE_VSUAPI_EMAIL_FILL") == "1") {
    for (std::uint32_t i = 0; i < *size; ++i) buffer[i] = u'a';
    return status;
  }
  const std::u16string text = Utf16(email);
  if (text.size() >= *size) return 87;
  text.copy(buffer, text.size());
  buffer[text.size()] = u'\0';
  return status;
}

FAKE_VSUAPI_EXPORT std::int32_t CanHideARP(const char16_t* text) {
  Record("CanHideARP [" + Narrow(text) + "]");
  return static_cast<std::int32_t>(NumberVariable("FAKE_VSUAPI_CANHIDE", 0));
}

#endif

}  // namespace keystead::test
