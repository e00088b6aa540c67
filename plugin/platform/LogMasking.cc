#include "plugin/platform/LogMasking.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace corvane::larchmere::plugin {

namespace {

constexpr auto npos = std::string::npos;

// Member names whose values never reach a log unmasked, in processing order.
constexpr std::array<std::string_view, 28> kSensitiveKeys = {
    "\"faceData\"",      "\"otpInfo\"",       "\"clientToken\"",    "\"ksReEnrollToken\"",
    "\"ksDeviceId\"",    "\"idToken\"",       "\"cloudKey\"",       "\"passwordResetData\"",
    "\"engineToken\"",   "\"pwd\"",           "\"authClaimToken\"", "\"provisionData\"",
    "\"reEnrollToken\"", "\"ksDeviceNonce\"", "\"deviceId\"",       "\"OAuthTransId\"",
    "\"Profiles\"",      "\"Subscriptions\"", "\"GlobalSetting\"",  "\"riskAnalysisInfo\"",
    "\"image\"",         "\"backupToken\"",   "\"oTransId\"",       "\"authCode\"",
    "\"attestedData\"",  "\"jwtCert\"",       "\"oauthTransId\"",   "\"nonce\"",
};

constexpr std::array<std::string_view, 4> kSensitiveHeaders = {
    "x-jwstoken",
    "x-idToken",
    "Authorization",
    "Cookie",
};

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsLineSpace(char c) { return c == ' ' || c == '\t'; }

bool IsHeaderNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_';
}

std::size_t SkipWhile(const std::string& text, std::size_t pos, bool (*skip)(char)) {
  while (pos < text.size() && skip(text[pos])) ++pos;
  return pos;
}

// Position of the quote closing the string that opens at `open`, or npos.
std::size_t FindStringEnd(const std::string& text, std::size_t open) {
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      return i;
    }
  }
  return npos;
}

// Position of the bracket or brace closing the one at `open`, or npos.
std::size_t FindContainerEnd(const std::string& text, std::size_t open) {
  std::size_t depth = 0;
  for (std::size_t i = open; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      i = FindStringEnd(text, i);
      if (i == npos) return npos;
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if ((c == ']' || c == '}') && --depth == 0) {
      return i;
    }
  }
  return npos;
}

// Replaces the contents between the delimiter at `open` and `close` (npos:
// the end of the text) by "X". Returns the position just after the value.
std::size_t ReplaceContents(std::string& text, std::size_t open, std::size_t close) {
  const std::size_t begin = open + 1;
  const std::size_t end = close == npos ? text.size() : close;
  if (end == begin) return end + 1;
  text.replace(begin, end - begin, "X");
  return begin + 2;
}

// Masks the value of the member whose name ends just before `pos`. Returns
// where the search for the next occurrence continues.
std::size_t MaskMemberValue(std::string& text, std::size_t pos) {
  const std::size_t colon = SkipWhile(text, pos, IsJsonSpace);
  if (colon >= text.size() || text[colon] != ':') return pos;
  const std::size_t open = SkipWhile(text, colon + 1, IsJsonSpace);
  if (open >= text.size()) return open;
  switch (text[open]) {
    case '"':
      return ReplaceContents(text, open, FindStringEnd(text, open));
    case '[':
    case '{':
      return ReplaceContents(text, open, FindContainerEnd(text, open));
    default:
      return open;
  }
}

bool EqualsIgnoreCase(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

std::size_t FindIgnoreCase(const std::string& text, std::string_view needle, std::size_t from) {
  if (from >= text.size()) return npos;
  const auto found = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                 needle.begin(), needle.end(), EqualsIgnoreCase);
  return found == text.end() ? npos : static_cast<std::size_t>(found - text.begin());
}

// Masks the value of the header whose name spans [start, nameEnd) when it is
// a header line. Returns where the search continues.
std::size_t MaskHeaderValue(std::string& text, std::size_t start, std::size_t nameEnd) {
  if (start > 0 && IsHeaderNameChar(text[start - 1])) return nameEnd;
  const std::size_t colon = SkipWhile(text, nameEnd, IsLineSpace);
  if (colon >= text.size() || text[colon] != ':') return nameEnd;
  const std::size_t begin = SkipWhile(text, colon + 1, IsLineSpace);
  std::size_t end = text.find_first_of("\r\n", begin);
  if (end == npos) end = text.size();
  if (end == begin) return end;
  text.replace(begin, end - begin, "X");
  return begin + 1;
}

}  // namespace

void MaskSensitiveJson(std::string& text) {
  for (const std::string_view key : kSensitiveKeys) {
    std::size_t pos = text.find(key);
    while (pos != npos) {
      pos = MaskMemberValue(text, pos + key.size());
      pos = text.find(key, pos);
    }
  }
}

void MaskSensitiveHeaders(std::string& text) {
  for (const std::string_view name : kSensitiveHeaders) {
    std::size_t pos = FindIgnoreCase(text, name, 0);
    while (pos != npos) {
      pos = MaskHeaderValue(text, pos, pos + name.size());
      pos = FindIgnoreCase(text, name, pos);
    }
  }
}

void MaskSensitiveData(std::string& text) {
  MaskSensitiveJson(text);
  MaskSensitiveHeaders(text);
}

std::string MaskedToken(const std::string& token) { return token.empty() ? "" : "X"; }

}  // namespace corvane::larchmere::plugin
