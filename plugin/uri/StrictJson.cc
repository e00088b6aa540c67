#include "plugin/uri/StrictJson.h"

#include <exception>
#include <memory>

namespace corvane::larchmere::plugin::uri {

bool ParseStrictJson(std::string_view text, Json::Value& root) {
  static const Json::CharReaderBuilder kBuilder = [] {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["allowComments"] = false;
    builder["strictRoot"] = true;
    return builder;
  }();
  const std::unique_ptr<Json::CharReader> reader(kBuilder.newCharReader());
  std::string errors;
  try {
    // Too deep a nesting makes the reader throw instead of recursing further.
    return reader->parse(text.data(), text.data() + text.size(), &root, &errors);
  } catch (const std::exception&) {
    return false;
  }
}

const Json::Value& MemberOf(const Json::Value& object, const char* name) {
  static const Json::Value kNull;
  if (!object.isObject()) return kNull;
  const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
  return member != nullptr ? *member : kNull;
}

std::string TextOf(const Json::Value& value) {
  if (value.isString() || value.isNumeric() || value.isBool()) return value.asString();
  return {};
}

std::string WriteCompact(const Json::Value& document) {
  Json::FastWriter writer;
  return writer.write(document);
}

}  // namespace corvane::larchmere::plugin::uri
