#include "plugin/platform/LogMasking.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <vector>

#include "os/ascii_text.h"

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

// A stretch [begin, end) of the original text that is replaced by "X".
struct Span {
  std::size_t begin;
  std::size_t end;
};

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsLineSpace(char c) { return c == ' ' || c == '\t'; }

// Where a bare value (number, true, false, null or anything else unquoted) ends.
bool EndsBareValue(char c) {
  return IsJsonSpace(c) || std::string_view(",:[]{}\"").find(c) != std::string_view::npos;
}

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

// Hides the contents between the delimiter at `open` and `close` (npos: the
// end of the text). Returns `close`: a closing quote may open the next key.
std::size_t AddContents(const std::string& text, std::size_t open, std::size_t close,
                        std::vector<Span>& spans) {
  const std::size_t end = close == npos ? text.size() : close;
  if (end > open + 1) spans.push_back({open + 1, end});
  return close;
}

// Hides the value of the member whose name spans [nameBegin, nameEnd).
// Returns where the search for the next occurrence continues.
std::size_t AddMemberValue(const std::string& text, std::size_t nameBegin, std::size_t nameEnd,
                           std::vector<Span>& spans) {
  const std::size_t colon = SkipWhile(text, nameEnd, IsJsonSpace);
  // Not a member: the closing quote may still open the next occurrence.
  if (colon >= text.size() || text[colon] != ':') return nameBegin + 1;
  const std::size_t open = SkipWhile(text, colon + 1, IsJsonSpace);
  if (open >= text.size()) return npos;
  switch (text[open]) {
    case '"':
      return AddContents(text, open, FindStringEnd(text, open), spans);
    case '[':
    case '{':
      return AddContents(text, open, FindContainerEnd(text, open), spans);
    default:
      break;
  }
  std::size_t end = open;
  while (end < text.size() && !EndsBareValue(text[end])) ++end;
  // null stays readable: it holds no secret and tells the reader that none
  // was sent, just as an empty string stays empty.
  if (end > open && text.compare(open, end - open, "null") != 0) spans.push_back({open, end});
  return end;
}

// Hides the value of the header whose name spans [start, nameEnd) when it is
// a header line. Returns where the search continues.
std::size_t AddHeaderValue(const std::string& text, std::size_t start, std::size_t nameEnd,
                           std::vector<Span>& spans) {
  if (start > 0 && IsHeaderNameChar(text[start - 1])) return start + 1;
  const std::size_t colon = SkipWhile(text, nameEnd, IsLineSpace);
  if (colon >= text.size() || text[colon] != ':') return start + 1;
  const std::size_t begin = SkipWhile(text, colon + 1, IsLineSpace);
  std::size_t end = text.find_first_of("\r\n", begin);
  if (end == npos) end = text.size();
  if (end > begin) spans.push_back({begin, end});
  return end;
}

void AddJsonSpans(const std::string& text, std::vector<Span>& spans) {
  for (const std::string_view key : kSensitiveKeys) {
    std::size_t pos = text.find(key);
    while (pos != npos) {
      pos = AddMemberValue(text, pos, pos + key.size(), spans);
      if (pos != npos) pos = text.find(key, pos);
    }
  }
}

void AddHeaderSpans(const std::string& text, std::vector<Span>& spans) {
  for (const std::string_view name : kSensitiveHeaders) {
    std::size_t pos = keystead::os::FindIgnoringCase(text, name);
    while (pos != npos) {
      pos = AddHeaderValue(text, pos, pos + name.size(), spans);
      pos = keystead::os::FindIgnoringCase(text, name, pos);
    }
  }
}

// Replaces every span by "X"; overlapping spans (only in text that is not
// well-formed) are joined first, so that nothing either of them covers
// survives.
void ReplaceSpans(std::string& text, std::vector<Span>& spans) {
  if (spans.empty()) return;
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.begin < b.begin; });
  std::string masked;
  masked.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t i = 0; i < spans.size();) {
    const std::size_t begin = spans[i].begin;
    std::size_t end = spans[i].end;
    for (++i; i < spans.size() && spans[i].begin < end; ++i) end = std::max(end, spans[i].end);
    masked.append(text, copied, begin - copied).push_back('X');
    copied = end;
  }
  masked.append(text, copied, npos);
  text.swap(masked);
}

}  // namespace

void MaskSensitiveJson(std::string& text) {
  std::vector<Span> spans;
  AddJsonSpans(text, spans);
  ReplaceSpans(text, spans);
}

void MaskSensitiveHeaders(std::string& text) {
  std::vector<Span> spans;
  AddHeaderSpans(text, spans);
  ReplaceSpans(text, spans);
}

void MaskSensitiveData(std::string& text) {
  // Both kinds are found in the original text: masking one first could hide
  // the other's name while leaving its value, e.g. a header name read as a
  // bare JSON value, or a header value hiding a member name but not its value
  // on the next line.
  std::vector<Span> spans;
  AddJsonSpans(text, spans);
  AddHeaderSpans(text, spans);
  ReplaceSpans(text, spans);
}

std::span<const std::string_view> SensitiveJsonKeys() { return kSensitiveKeys; }

std::span<const std::string_view> SensitiveHeaderNames() { return kSensitiveHeaders; }

std::string MaskedToken(const std::string& token) { return token.empty() ? "" : "X"; }

}  // namespace corvane::larchmere::plugin
