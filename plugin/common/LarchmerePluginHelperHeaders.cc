#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <span>

#include "os/ascii_text.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/common/LarchmerePluginHelperInternal.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::common {

using helper_detail::View;

namespace {

using Corvane::QAV::SDK::SDK_Livenesstype;

// The header and URL patterns are matched by the linear scanners below rather
// than by std::regex: libstdc++ matches `.*` and `\s*` by recursing once per
// character, which overflows the stack (a crash, not an exception) on a header
// line of a few ten thousand bytes. Each scanner gives the first match that the
// documented pattern would give.

// A word of a header pattern "Name:\s*(WORD|WORD...)" and the value it stands for.
struct HeaderWord {
  std::string_view word;
  int value;
};

// Alternatives are tried in this order, so a longer word stands before its prefix.
constexpr std::string_view kCallerHead = "Caller:";
constexpr std::array<HeaderWord, 4> kCallerWords = {{
    {"REMOTE_PSI_25", kCallerRemote},
    {"REMOTE", kCallerRemote},
    {"HYBRID", kCallerHybrid},
    {"LOCAL", kCallerLocal},
}};

constexpr std::string_view kLivenessHead = "Liveness:";
constexpr std::array<HeaderWord, 4> kLivenessWords = {{
    {"NONE", Corvane::QAV::SDK::NONE},
    {"BLINK_STRICT", Corvane::QAV::SDK::BLINK_STRICT},
    {"BLINK", Corvane::QAV::SDK::BLINK},
    {"PASSIVE", Corvane::QAV::SDK::PASSIVE},
}};

constexpr std::string_view kStreamTypeHead = "StreamType:";
constexpr std::string_view kStreamImage = "IMAGE";
constexpr std::array<HeaderWord, 2> kStreamTypeWords = {{{kStreamImage, 0}, {"COORDS", 1}}};

constexpr std::string_view kPreviewTypeHead = "PreviewType:";
constexpr std::array<HeaderWord, 4> kPreviewTypeWords = {{
    {"NORMAL", kPreviewNormal},
    {"OBFUSCATED_DOTS", kPreviewObfuscatedDots},
    {"DOTS", kPreviewDots},
    {"OBFUSCATED", kPreviewObfuscated},
}};

constexpr std::string_view kCorrelationMark = "QCID";
constexpr std::string_view kForceStopMark = "QCID_FORCE_STOP";
constexpr std::string_view kEmailHead = "email=";  // matched in any letter case
constexpr std::string_view kIdHead = "id=";        // matched in any letter case
constexpr std::string_view kJwsTokenTag = "x-jwstoken:";

// What `\s` matches; also the white space removed from the RAT header line.
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
// Where `.` stops.
constexpr std::string_view kLineBreaks = "\r\n";

bool IsWhiteSpace(char c) { return c != '\0' && kWhiteSpace.find(c) != std::string_view::npos; }

// The rest of text's line from position `from`.
std::string_view RestOfLine(std::string_view text, std::size_t from) {
  const std::string_view rest = text.substr(from);
  return rest.substr(0, rest.find_first_of(kLineBreaks));
}

// First match of "head\s*(word|word...)" in text.
const HeaderWord* FindHeaderWord(std::string_view text, std::string_view head,
                                 std::span<const HeaderWord> words) {
  for (std::size_t at = text.find(head); at != std::string_view::npos;
       at = text.find(head, at + 1)) {
    std::size_t valueAt = at + head.size();
    while (valueAt < text.size() && IsWhiteSpace(text[valueAt])) ++valueAt;
    const std::string_view value = text.substr(valueAt);
    for (const HeaderWord& word : words) {
      if (value.starts_with(word.word)) return &word;
    }
  }
  return nullptr;
}

// First match of "QCID(.*)QCID": from the first mark of a line to the last
// mark of the same line.
std::string_view FindCorrelationId(std::string_view text) {
  std::size_t lineStart = 0;
  while (lineStart <= text.size()) {
    const std::string_view line = RestOfLine(text, lineStart);
    const std::size_t first = line.find(kCorrelationMark);
    if (first != std::string_view::npos) {
      const std::size_t last = line.rfind(kCorrelationMark);
      if (last >= first + kCorrelationMark.size()) {
        return line.substr(first, last + kCorrelationMark.size() - first);
      }
    }
    lineStart += line.size() + 1;
  }
  return {};
}

// Capture of "head(.*)" in text, the head in any letter case; nullopt when absent.
std::optional<std::string_view> FindQueryValue(std::string_view text, std::string_view head) {
  const std::size_t at = keystead::os::FindIgnoringCase(text, head);
  if (at == std::string_view::npos) return std::nullopt;
  return RestOfLine(text, at + head.size());
}

std::string_view CutAtAmpersand(std::string_view value) { return value.substr(0, value.find('&')); }

// Only "%40" is decoded; callers pass the rest of the value on as received.
std::string DecodeAtSigns(std::string_view value) {
  constexpr std::string_view kEncodedAt = "%40";
  std::string decoded;
  decoded.reserve(value.size());
  for (std::size_t at = value.find(kEncodedAt); at != std::string_view::npos;
       at = value.find(kEncodedAt)) {
    decoded.append(value.substr(0, at)).push_back('@');
    value.remove_prefix(at + kEncodedAt.size());
  }
  decoded.append(value);
  return decoded;
}

}  // namespace

// --- Request matching ---

bool LarchmerePluginHelper::IsValidHeader(const char* headers) {
  if (headers == nullptr) return false;
  const std::string_view text(headers);
  return text.find("application/json") != std::string_view::npos ||
         text.find("Origin") != std::string_view::npos;
}

bool LarchmerePluginHelper::IsValidRequestURL(const char* url, const char* headers,
                                              const char* path) {
  const std::string expected = CreateURI(kPathPrefix, path);
  if (url != nullptr && std::string_view(url).find(expected) != std::string_view::npos) return true;
  return View(headers).find("Request URL: " + expected) != std::string_view::npos;
}

bool LarchmerePluginHelper::IsValidRequestMethd(const char* method, const char* headers,
                                                const char* expected) {
  if (method == nullptr || expected == nullptr) return false;
  const std::string_view name(method);
  if (name == expected) return true;
  if (name != "OPTIONS") return false;
  return View(headers).find(std::string("Access-Control-Request-Method: ") + expected) !=
         std::string_view::npos;
}

bool LarchmerePluginHelper::isEquals(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::string_view(a) == b;
}

bool LarchmerePluginHelper::isPresent(const char* text, const char* pattern) {
  return text != nullptr && pattern != nullptr &&
         std::string_view(text).find(pattern) != std::string_view::npos;
}

// --- Correlation ids ---

std::string LarchmerePluginHelper::GetQCorrelationId(const char* headers) {
  return std::string(FindCorrelationId(View(headers)));
}

bool LarchmerePluginHelper::IsValidQCorrelationId(const std::string& id) {
  return id.size() == kQCorrelationIdLength;
}

bool LarchmerePluginHelper::IsForceStop(const std::string& id) {
  return id.find(kForceStopMark) != std::string::npos;
}

// --- Caller, liveness, stream and preview headers ---

std::string LarchmerePluginHelper::GetCallerFromHeader(const char* headers) {
  const HeaderWord* caller = FindHeaderWord(View(headers), kCallerHead, kCallerWords);
  return caller ? std::string(caller->word) : std::string();
}

int LarchmerePluginHelper::GetCallerType(const char* headers) {
  const HeaderWord* caller = FindHeaderWord(View(headers), kCallerHead, kCallerWords);
  return caller ? caller->value : kCallerRemote;
}

bool LarchmerePluginHelper::IsHybridCaller(const char* headers) {
  return GetCallerType(headers) == kCallerHybrid;
}

bool LarchmerePluginHelper::IsRemotePsiCaller(const char* headers) {
  return GetCallerFromHeader(headers) == kCallerWords[0].word;
}

SDK_Livenesstype LarchmerePluginHelper::GetLivenessFromHeader(const char* headers,
                                                              SDK_Livenesstype fallback) {
  const HeaderWord* liveness = FindHeaderWord(View(headers), kLivenessHead, kLivenessWords);
  return liveness ? static_cast<SDK_Livenesstype>(liveness->value) : fallback;
}

std::string LarchmerePluginHelper::GetStreamTypeFromHeader(const char* headers) {
  const HeaderWord* stream = FindHeaderWord(View(headers), kStreamTypeHead, kStreamTypeWords);
  return std::string(stream ? stream->word : kStreamImage);
}

bool LarchmerePluginHelper::IsStreamingImage(const char* headers) {
  return GetStreamTypeFromHeader(headers) == kStreamImage;
}

int LarchmerePluginHelper::GetPreviewTypeFromHeader(const char* headers) {
  WriteLog("Getting PreviewType", kLogInfo);
  const HeaderWord* preview = FindHeaderWord(View(headers), kPreviewTypeHead, kPreviewTypeWords);
  const int previewType = preview ? preview->value : kPreviewNormal;
  LogInfo("PreviewType is", std::to_string(previewType));
  return previewType;
}

// --- RAT header ---

std::string LarchmerePluginHelper::GetJwsTokenFromHeader(const char* headers) {
  const std::string_view text = View(headers);
  std::size_t lineStart = 0;
  while (lineStart <= text.size()) {
    const std::string_view rest = text.substr(lineStart);
    const std::string_view line = rest.substr(0, rest.find('\n'));
    if (line.find(kJwsTokenTag) != std::string_view::npos) {
      std::string cleaned;
      std::copy_if(line.begin(), line.end(), std::back_inserter(cleaned),
                   [](char c) { return !IsWhiteSpace(c); });
      // The tag is expected at the start of its line.
      return cleaned.size() > kJwsTokenTag.size() ? cleaned.substr(kJwsTokenTag.size())
                                                  : std::string();
    }
    lineStart += line.size() + 1;
  }
  return {};
}

// --- URL query values ---

std::string LarchmerePluginHelper::GetEmail(const char* url) {
  const std::optional<std::string_view> value = FindQueryValue(View(url), kEmailHead);
  if (!value) return {};
  // The last parameter is decoded too, so that an address reads the same
  // wherever it stands in the query.
  return DecodeAtSigns(CutAtAmpersand(*value));
}

std::string LarchmerePluginHelper::GetId(const char* url) {
  const std::optional<std::string_view> value = FindQueryValue(View(url), kIdHead);
  return value ? std::string(CutAtAmpersand(*value)) : std::string();
}

}  // namespace corvane::larchmere::plugin::common
