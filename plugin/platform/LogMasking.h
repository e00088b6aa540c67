#pragma once

#include <span>
#include <string>
#include <string_view>

// Hiding of secrets in log text. The functions here mask unconditionally;
// whether a line is masked at all is the logger's decision (KSLogger).
namespace corvane::larchmere::plugin {

// Replaces the value of every sensitive JSON member in `text` by "X":
// "key":"X", "key":[X] or "key":{X} for strings, arrays and objects, and
// "key":X for a bare value (a number, true, false or anything else unquoted).
// An empty value and null stay as they are. Every occurrence of each key is
// masked, at any depth, white space around the colon is allowed, and arrays
// and objects are matched by depth, skipping string contents (escaped quotes
// included). A value that is never closed is masked up to the end of the
// text. Never throws except std::bad_alloc.
void MaskSensitiveJson(std::string& text);

// Replaces by "X" the value of every header line "x-jwstoken", "x-idToken",
// "Authorization" and "Cookie" in `text` (names matched case-insensitively,
// white space allowed before the colon; the value runs to the line end). A
// name counts only where it does not continue a longer name, so a header
// block logged after a message prefix is masked as well. An empty value
// stays empty.
void MaskSensitiveHeaders(std::string& text);

// Both of the above: what the logger applies to a line when masking is on.
// Both are looked for in the text as given, so that neither can hide the
// other's name and leave its value; values they both reach become one "X".
//
// Each masked value becomes one character: a masked text is never longer than
// the original (growth factor 1).
void MaskSensitiveData(std::string& text);

// The member names (with their quotes) and the header names that are masked.
std::span<const std::string_view> SensitiveJsonKeys();
std::span<const std::string_view> SensitiveHeaderNames();

// "X" for a non-empty token, empty for an empty one.
std::string MaskedToken(const std::string& token);

}  // namespace corvane::larchmere::plugin
