// The registry stand-in: the JSON file named by KEYSTEAD_REGISTRY, read at
// every call so that a changed file or variable takes effect at once. Its root
// object maps key paths to objects of value names; a value is a string or a
// number from 0 to 4294967295. Key paths and value names compare without
// regard to ASCII case, as the Windows registry does.
#include "os/registry.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "json/json.h"
#include "os/ascii_text.h"
#include "os/debug_output.h"

namespace keystead::os {
namespace {

constexpr const char* kRegistryVariable = "KEYSTEAD_REGISTRY";

std::string_view WithoutTrailingBackslash(std::string_view keyPath) {
  if (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
  return keyPath;
}

void ReportMalformedOnce(const std::string& path, std::string reason) {
  static std::atomic<bool> reported{false};
  if (reported.exchange(true)) return;
  // The parser's message spans lines; the trace is one.
  std::replace(reason.begin(), reason.end(), '\n', ' ');
  DebugOutput("Registry - " + std::string(kRegistryVariable) + " file " + path +
              " is malformed, every key reads as missing: " + reason);
}

// The root object of the registry file; a null value when there is none.
Json::Value LoadRegistry() {
  const char* path = std::getenv(kRegistryVariable);
  if (path == nullptr || *path == '\0') return Json::Value();
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return Json::Value();
  std::ifstream file(path, std::ios::binary);
  if (!file) return Json::Value();

  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  builder["skipBom"] = true;  // editors on Windows like to write one
  Json::Value root;
  std::string errors;
  if (!Json::parseFromStream(builder, file, &root, &errors)) {
    ReportMalformedOnce(path, errors);
    return Json::Value();
  }
  if (!root.isObject()) {
    ReportMalformedOnce(path, "the root is not an object");
    return Json::Value();
  }
  return root;
}

// The named value of the named key; nullptr when either is missing.
const Json::Value* FindValue(const Json::Value& root, std::string_view keyPath,
                             std::string_view valueName) {
  if (!root.isObject()) return nullptr;
  const std::string_view wantedKey = WithoutTrailingBackslash(keyPath);
  // Names that differ only in case are all searched, in byte order of their names.
  for (auto key = root.begin(); key != root.end(); ++key) {
    const std::string keyName = key.name();
    if (!key->isObject() || !EqualsIgnoringCase(WithoutTrailingBackslash(keyName), wantedKey)) {
      continue;
    }
    for (auto value = key->begin(); value != key->end(); ++value) {
      if (EqualsIgnoringCase(value.name(), valueName)) return &*value;
    }
  }
  return nullptr;
}

// The UTF-16 code units of UTF-8 text: one per lead byte of a character of the
// basic plane, two for a four-byte sequence; continuation bytes add nothing.
std::size_t Utf16Units(std::string_view utf8) {
  std::size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80 || (byte >= 0xC0 && byte < 0xF0)) {
      units += 1;
    } else if (byte >= 0xF0) {
      units += 2;
    }
  }
  return units;
}

}  // namespace

std::optional<std::string> ReadMachineString(std::string_view keyPath, std::string_view valueName,
                                             std::size_t maxBytes) {
  try {
    const Json::Value root = LoadRegistry();
    const Json::Value* value = FindValue(root, keyPath, valueName);
    if (value == nullptr || !value->isString()) return std::nullopt;
    std::string text = value->asString();
    // Readers of a registry string stop at its first zero.
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    if ((Utf16Units(text) + 1) * sizeof(char16_t) > maxBytes) return std::nullopt;
    return text;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::uint32_t> ReadMachineDword(std::string_view keyPath,
                                              std::string_view valueName) {
  try {
    const Json::Value root = LoadRegistry();
    const Json::Value* value = FindValue(root, keyPath, valueName);
    if (value == nullptr || !value->isNumeric() || !value->isUInt()) return std::nullopt;
    return static_cast<std::uint32_t>(value->asUInt());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
