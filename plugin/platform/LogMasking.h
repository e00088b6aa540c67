#pragma once

#include <string>

// Hiding of secrets in log text. The functions here mask unconditionally;
// whether a line is masked at all is the logger's decision (KSLogger).
namespace corvane::larchmere::plugin {

// Replaces the value of every sensitive JSON member in `text` by "X":
// "key":"X", "key":[X] or "key":{X} (an empty value stays empty). Every
// occurrence of each key is masked, white space around the colon is allowed,
// and arrays and objects are matched by depth, skipping string contents
// (escaped quotes included). A value that is never closed is masked up to the
// end of the text. Values of other forms (numbers, true, false, null) are
// left as they are. Never throws except std::bad_alloc.
void MaskSensitiveJson(std::string& text);

// Replaces by "X" the value of every header line "x-jwstoken", "x-idToken",
// "Authorization" and "Cookie" in `text` (names matched case-insensitively,
// white space allowed before the colon; the value runs to the line end). A
// name counts only where it does not continue a longer name, so a header
// block logged after a message prefix is masked as well. An empty value
// stays empty.
void MaskSensitiveHeaders(std::string& text);

// Both of the above: what the logger applies to a line when masking is on.
void MaskSensitiveData(std::string& text);

// "X" for a non-empty token, empty for an empty one.
std::string MaskedToken(const std::string& token);

}  // namespace corvane::larchmere::plugin
