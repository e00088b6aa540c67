#pragma once

#include <json/json.h>

#include <string>
#include <string_view>

// JSON reading and writing shared by the second-factor and suite-account
// handlers. Stateless; thread-safe; nothing throws for bad input.
namespace corvane::larchmere::plugin::uri {

// Parses text strictly (no comments; the root must be an object or an
// array) into root. False for anything else, nesting too deep included.
bool ParseStrictJson(std::string_view text, Json::Value& root);

// The member `name` of `object`; a null value when `object` is not an object
// or has no such member. Never adds a member.
const Json::Value& MemberOf(const Json::Value& object, const char* name);

// The value as text: a string as it is, a number or boolean written out,
// anything else (null, arrays, objects) empty.
std::string TextOf(const Json::Value& value);

// The compact form: no white space, members in name order, one line feed at
// the end.
std::string WriteCompact(const Json::Value& document);

}  // namespace corvane::larchmere::plugin::uri
