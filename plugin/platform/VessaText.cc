#include "plugin/platform/VessaText.h"

namespace Corvane::Keystead::Vessa {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(char32_t codePoint, std::string& out) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    codePoint = kReplacement;
  }
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

void AppendUtf16(char32_t codePoint, std::u16string& out) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    codePoint = kReplacement;
  }
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
  } else {
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  }
}

// Calls emit with every code point of a sequence of UTF-16 (or UTF-32) units.
template <typename Unit, typename Emit>
void DecodeUnits(const Unit* units, std::size_t count, Emit emit) {
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t unit = static_cast<char32_t>(units[i]);
    if (sizeof(Unit) == 2 && IsHighSurrogate(unit)) {
      const char32_t next = i + 1 < count ? static_cast<char32_t>(units[i + 1]) : 0;
      if (IsLowSurrogate(next)) {
        emit(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    emit(unit);
  }
}

std::wstring_view WideView(const wchar_t* text) {
  return text == nullptr ? std::wstring_view() : std::wstring_view(text);
}

// The code points of the units, each appended by `append`.
template <typename Text, typename Unit>
Text Transcode(const Unit* units, std::size_t count, void (*append)(char32_t, Text&)) {
  Text out;
  out.reserve(count);
  DecodeUnits(units, count, [&](char32_t codePoint) { append(codePoint, out); });
  return out;
}

}  // namespace

std::string Utf8FromWide(const wchar_t* text) {
  const std::wstring_view view = WideView(text);
  return Transcode(view.data(), view.size(), AppendUtf8);
}

std::string Utf8FromUtf16(std::u16string_view text) {
  return Transcode(text.data(), text.size(), AppendUtf8);
}

std::u16string Utf16FromWide(const wchar_t* text) {
  const std::wstring_view view = WideView(text);
  return Transcode(view.data(), view.size(), AppendUtf16);
}

}  // namespace Corvane::Keystead::Vessa
