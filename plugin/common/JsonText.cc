#include "plugin/common/JsonText.h"

#include <exception>
#include <memory>

namespace corvane::larchmere::plugin::common {

namespace {

Json::CharReaderBuilder MakeBuilder(JsonDialect dialect) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  builder["allowTrailingCommas"] = false;
  builder["skipBom"] = false;
  if (dialect == JsonDialect::kStrict) {
    builder["allowComments"] = false;
    builder["strictRoot"] = true;
  }
  return builder;
}

std::unique_ptr<Json::CharReader> NewJsonReader(JsonDialect dialect) {
  static const Json::CharReaderBuilder kLenient = MakeBuilder(JsonDialect::kLenient);
  static const Json::CharReaderBuilder kStrict = MakeBuilder(JsonDialect::kStrict);
  return std::unique_ptr<Json::CharReader>(
      (dialect == JsonDialect::kStrict ? kStrict : kLenient).newCharReader());
}

}  // namespace

bool ParseJson(std::string_view text, Json::Value& root, JsonDialect dialect) {
  const std::unique_ptr<Json::CharReader> reader = NewJsonReader(dialect);
  try {
    return reader->parse(text.data(), text.data() + text.size(), &root, nullptr);
  } catch (const std::exception&) {
    return false;  // the reader throws for a nesting deeper than its stack limit
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

}  // namespace corvane::larchmere::plugin::common
