#pragma once

#include <json/json.h>

#include <string>
#include <string_view>

// Reading and writing JSON text for the whole plug-in; every body, engine
// answer and stored document is parsed through the readers made here.
// Stateless; thread-safe; nothing throws for bad input.
namespace corvane::larchmere::plugin::common {

// Both dialects refuse what the classic Json::Reader refuses and JsonCpp's
// CharReaderBuilder accepts by default: trailing commas ({"a":1,} and [1,])
// and a leading byte-order mark.
enum class JsonDialect {
  kLenient,  // comments allowed; any value may be the root
  kStrict,   // no comments; the root must be an object or an array
};

// The plug-in's one JSON reader: parses text into root. False for anything
// the dialect refuses, too deep a nesting included; root is then unspecified.
bool ParseJson(std::string_view text, Json::Value& root, JsonDialect dialect);
inline bool ParseStrictJson(std::string_view text, Json::Value& root) {
  return ParseJson(text, root, JsonDialect::kStrict);
}
inline bool ParseLenientJson(std::string_view text, Json::Value& root) {
  return ParseJson(text, root, JsonDialect::kLenient);
}

// The member `name` of `object`; a null value when `object` is not an object
// or has no such member. Never adds a member.
const Json::Value& MemberOf(const Json::Value& object, const char* name);

// The value as text: a string as it is, a number or boolean written out,
// anything else (null, arrays, objects) empty.
std::string TextOf(const Json::Value& value);

// The compact form: no white space, members in name order, one line feed at
// the end.
std::string WriteCompact(const Json::Value& document);

}  // namespace corvane::larchmere::plugin::common
