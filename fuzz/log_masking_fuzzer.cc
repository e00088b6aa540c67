// Log masking. The first byte picks the mode:
//  - even: a generated line. A JSON document whose sensitive member, nested
//    at some depth among other members, carries a generated value (string,
//    number, boolean, null, array or object) written with some spacing
//    around the colon, between free text, followed by a header block with a
//    sensitive header line. Secret strings carry kSecretMark, secret numbers
//    the digit kSecretDigit and the header token kTokenMark; nothing else in
//    the line does, so none of them may survive masking.
//  - odd: the remaining bytes as they are.
// In both modes masking must not throw, must not make the line longer, and
// must leave no sensitive member or header line with a value that is not
// masked (checked on the masked text itself, so booleans are covered too).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "os/ascii_text.h"
#include "plugin/platform/LogMasking.h"

namespace keystead::fuzz {
namespace {

namespace masking = corvane::larchmere::plugin;

constexpr char kSecretMark = '\x01';
constexpr char kTokenMark = '\x02';
constexpr char kSecretDigit = '7';
constexpr int kMaxDepth = 6;

template <typename T>
T Pick(FuzzedDataProvider& data, std::span<const T> values) {
  return values[data.ConsumeIntegralInRange<std::size_t>(0, values.size() - 1)];
}

[[noreturn]] void Breach(const char* what, const std::string& input, const std::string& output) {
  std::fprintf(stderr, "log masking breach: %s\n--- input (%zu bytes)\n%s\n--- output\n%s\n", what,
               input.size(), input.c_str(), output.c_str());
  std::abort();
}

// Text that cannot hold a mark, open a string or escape a quote: free text
// around and inside the document stays plain text.
std::string Plain(std::string text) {
  std::erase_if(text, [](char c) {
    return c == kSecretMark || c == kTokenMark || c == kSecretDigit || c == '"' || c == '\\';
  });
  return text;
}

// The body of a JSON string (without its quotes), holding `mark` when given.
std::string StringBody(FuzzedDataProvider& data, char mark) {
  std::string body = Plain(data.ConsumeRandomLengthString(12));
  if (mark != '\0') body.insert(data.ConsumeIntegralInRange<std::size_t>(0, body.size()), 1, mark);
  if (data.ConsumeBool()) body += "\\\"";  // an escaped quote inside the value
  return body;
}

std::string Spacing(FuzzedDataProvider& data) {
  static constexpr std::array<const char*, 6> kSpacing = {"", " ", "\t", "\n", "\r\n  ", "  "};
  return data.PickValueInArray(kSpacing);
}

std::string Digits(FuzzedDataProvider& data, bool secret) {
  std::string digits;
  for (int n = data.ConsumeIntegralInRange(0, 4); n > 0; --n) {
    digits += static_cast<char>('0' + data.ConsumeIntegralInRange(0, 9));
  }
  if (secret) return kSecretDigit + digits;
  std::erase(digits, kSecretDigit);
  return digits.empty() ? "0" : digits;
}

std::string Number(FuzzedDataProvider& data, bool secret) {
  std::string number = data.ConsumeBool() ? "-" : "";
  number += Digits(data, secret);
  if (data.ConsumeBool()) number += "." + Digits(data, false);
  if (data.ConsumeBool()) number += std::string("e") + (data.ConsumeBool() ? "-" : "+") + "1";
  return number;
}

std::string MemberName(FuzzedDataProvider& data) {
  if (data.ConsumeBool()) return std::string(Pick(data, masking::SensitiveJsonKeys()));
  return "\"" + Plain(data.ConsumeRandomLengthString(8)) + "\"";
}

// A well-formed JSON value; with `secret` every string and number in it
// carries a mark.
std::string Value(FuzzedDataProvider& data, bool secret, int depth) {
  const int kind = data.ConsumeIntegralInRange(0, depth < kMaxDepth ? 6 : 4);
  const char mark = secret ? kSecretMark : '\0';
  switch (kind) {
    case 0:
      return "\"" + StringBody(data, mark) + "\"";
    case 1:
      return Number(data, secret);
    case 2:
      return data.ConsumeBool() ? "true" : "false";
    case 3:
      return "null";
    case 4:
      return "\"\"";
    case 5: {
      std::string array = "[";
      for (int n = data.ConsumeIntegralInRange(1, 3); n > 0; --n) {
        array += Spacing(data) + Value(data, secret, depth + 1) + (n > 1 ? "," : "");
      }
      return array + "]";
    }
    default: {
      std::string object = "{";
      for (int n = data.ConsumeIntegralInRange(1, 3); n > 0; --n) {
        object += MemberName(data) + Spacing(data) + ":" + Spacing(data) +
                  Value(data, secret, depth + 1) + (n > 1 ? "," : "");
      }
      return object + "}";
    }
  }
}

// Other members beside the secret one; their values carry no mark.
std::string Siblings(FuzzedDataProvider& data, int depth) {
  std::string members;
  for (int n = data.ConsumeIntegralInRange(0, 2); n > 0; --n) {
    members += MemberName(data) + ":" + Value(data, false, depth + 1) + ",";
  }
  return members;
}

// The sensitive member holding the secret value, nested `levels` deep.
std::string Document(FuzzedDataProvider& data, int levels) {
  const std::string key(Pick(data, masking::SensitiveJsonKeys()));
  std::string member = key + Spacing(data) + ":" + Spacing(data) + Value(data, true, levels);
  std::string document = "{" + Siblings(data, levels) + member + "}";
  for (int depth = levels - 1; depth >= 0; --depth) {
    const std::string inner = Siblings(data, depth) + MemberName(data) + ":" + document;
    document = data.ConsumeBool() ? "[" + document + "]" : "{" + inner + "}";
  }
  return document;
}

std::string HeaderName(FuzzedDataProvider& data) {
  std::string name(Pick(data, masking::SensitiveHeaderNames()));
  if (data.ConsumeBool()) {
    std::transform(name.begin(), name.end(), name.begin(), [&data](char c) {
      const auto letter = static_cast<unsigned char>(c);
      return static_cast<char>(data.ConsumeBool() ? std::toupper(letter) : std::tolower(letter));
    });
  }
  return name;
}

std::string HeaderBlock(FuzzedDataProvider& data) {
  std::string token = Plain(data.ConsumeRandomLengthString(16));
  std::erase_if(token, [](char c) { return c == '\r' || c == '\n'; });
  token.insert(data.ConsumeIntegralInRange<std::size_t>(0, token.size()), 1, kTokenMark);
  const std::string line = HeaderName(data) + (data.ConsumeBool() ? " " : "") + ":" +
                           (data.ConsumeBool() ? " " : "") + token + "\r\n";
  const std::string other = "Caller: web\r\n";
  return "\n" + (data.ConsumeBool() ? other + line : line + other);
}

std::string GeneratedLine(FuzzedDataProvider& data) {
  const int levels = data.ConsumeIntegralInRange(0, kMaxDepth - 1);
  std::string line = Plain(data.ConsumeRandomLengthString(24));
  line += Document(data, levels);
  line += Plain(data.ConsumeRandomLengthString(24));
  line += HeaderBlock(data);
  return line + Plain(data.ConsumeRemainingBytesAsString());
}

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EndsBareValue(char c) {
  return IsJsonSpace(c) || std::string_view(",:[]{}\"").find(c) != std::string_view::npos;
}

// Whether the value at `pos` is in a masked form: "", "X…", [], [X…, {}, {X…,
// X, null or nothing (a masked value joined with a header value may run on).
bool IsMaskedValue(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return true;
  const char open = text[pos];
  if (open == '"' || open == '[' || open == '{') {
    if (pos + 1 >= text.size()) return true;
    const char next = text[pos + 1];
    return next == 'X' || (open == '"' ? next == '"' : next == ']' || next == '}');
  }
  std::size_t end = pos;
  while (end < text.size() && !EndsBareValue(text[end])) ++end;
  const std::string_view bare = text.substr(pos, end - pos);
  return bare.empty() || bare == "X" || bare == "null";
}

bool EveryMemberMasked(std::string_view text) {
  for (const std::string_view key : masking::SensitiveJsonKeys()) {
    for (std::size_t pos = text.find(key); pos != std::string_view::npos;
         pos = text.find(key, pos + 1)) {
      std::size_t colon = pos + key.size();
      while (colon < text.size() && IsJsonSpace(text[colon])) ++colon;
      if (colon >= text.size() || text[colon] != ':') continue;
      std::size_t value = colon + 1;
      while (value < text.size() && IsJsonSpace(text[value])) ++value;
      if (!IsMaskedValue(text, value)) return false;
    }
  }
  return true;
}

bool IsHeaderNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_';
}

// Every sensitive header line has an empty value or one starting with X.
bool EveryHeaderMasked(std::string_view text) {
  for (const std::string_view name : masking::SensitiveHeaderNames()) {
    for (std::size_t start = os::FindIgnoringCase(text, name); start != std::string_view::npos;
         start = os::FindIgnoringCase(text, name, start + 1)) {
      if (start > 0 && IsHeaderNameChar(text[start - 1])) continue;
      std::size_t pos = start + name.size();
      while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
      if (pos >= text.size() || text[pos] != ':') continue;
      ++pos;
      while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
      if (pos < text.size() && text[pos] != '\r' && text[pos] != '\n' && text[pos] != 'X') {
        return false;
      }
    }
  }
  return true;
}

void Check(const std::string& input, bool generated) {
  std::string output = input;
  try {
    masking::MaskSensitiveData(output);
  } catch (...) {
    Breach("masking threw", input, output);
  }
  if (output.size() > input.size()) Breach("the line grew", input, output);
  if (!EveryMemberMasked(output)) Breach("a sensitive member kept its value", input, output);
  if (!EveryHeaderMasked(output)) Breach("a sensitive header kept its value", input, output);
  if (!generated) return;
  if (output.find(kSecretMark) != std::string::npos ||
      output.find(kSecretDigit) != std::string::npos) {
    Breach("the secret value survived", input, output);
  }
  if (output.find(kTokenMark) != std::string::npos) {
    Breach("the header token survived", input, output);
  }
}

}  // namespace

int FuzzOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  if (bytes[0] % 2 != 0) {
    Check(std::string(reinterpret_cast<const char*>(bytes) + 1, size - 1), false);
    return 0;
  }
  FuzzedDataProvider data(bytes + 1, size - 1);
  Check(GeneratedLine(data), true);
  return 0;
}

}  // namespace keystead::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  return keystead::fuzz::FuzzOneInput(bytes, size);
}
