#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "KeysteadVersion.h"
#include "os/ascii_text.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri::test {
namespace {

// Marks a response whose body may be empty although it describes a document.
constexpr char kEmptyBodyAllowed[] = "x-body-may-be-empty";

// The API description that the host serves at "/openapi.json", parsed once.
const Json::Value& ApiDescription() {
  static const Json::Value document = [] {
    std::ifstream file(KS_API_DESCRIPTION, std::ios::binary);
    EXPECT_TRUE(file) << "cannot open " << KS_API_DESCRIPTION;
    Json::Value parsed;
    Json::CharReaderBuilder builder;
    std::string errors;
    EXPECT_TRUE(Json::parseFromStream(builder, file, &parsed, &errors)) << errors;
    return parsed;
  }();
  return document;
}

// The value a local reference ("#/components/responses/Refused", names without
// "~" escapes) points at, or the value itself when it is no reference.
const Json::Value& Resolved(const Json::Value& value) {
  if (!value.isObject() || !value.isMember("$ref")) return value;
  std::string pointer = value["$ref"].asString();
  EXPECT_EQ(pointer.rfind("#/", 0), 0u) << "not a local reference: " << pointer;
  const Json::Value* target = &ApiDescription();
  std::istringstream parts(pointer.substr(2));
  for (std::string part; std::getline(parts, part, '/');) {
    target = &(*target)[part];
  }
  return *target;
}

// An operation as the description names it: the method in lower case, and the path.
using Operation = std::pair<std::string, std::string>;

Operation OperationOf(const Route& route) {
  std::string method = route.method;
  for (char& c : method) c = keystead::os::AsciiLower(c);
  return {method, route.path};
}

const Json::Value& DescriptionOf(const Route& route) {
  const auto [method, path] = OperationOf(route);
  return ApiDescription()["paths"][path][method];
}

// Every operation of the description but the pre-flights, which the router
// answers for any path without a route of its own.
std::set<Operation> DescribedOperations() {
  std::set<Operation> operations;
  const Json::Value& paths = ApiDescription()["paths"];
  for (const std::string& path : paths.getMemberNames()) {
    for (const std::string& method : paths[path].getMemberNames()) {
      if (method != "options") operations.emplace(method, path);
    }
  }
  return operations;
}

std::set<Operation> RoutedOperations() {
  std::set<Operation> operations;
  for (const Route& route : Routes()) operations.insert(OperationOf(route));
  return operations;
}

TEST(ApiDescriptionTest, DescribesExactlyTheRoutesOfTheRouteTable) {
  const std::set<Operation> described = DescribedOperations();
  const std::set<Operation> routed = RoutedOperations();
  for (const Operation& operation : routed) {
    EXPECT_TRUE(described.count(operation))
        << "routed but not described: " << operation.first << " " << operation.second;
  }
  for (const Operation& operation : described) {
    EXPECT_TRUE(routed.count(operation))
        << "described but not routed: " << operation.first << " " << operation.second;
  }
}

TEST(ApiDescriptionTest, PathsLieBehindTheServerUrlOfThePluginPrefix) {
  EXPECT_EQ(ApiDescription()["servers"][0]["url"].asString(),
            std::string("/") + common::LarchmerePluginHelper::kPathPrefix);
}

TEST(ApiDescriptionTest, EachOperationIsNamedAfterItsHandler) {
  for (const Route& route : Routes()) {
    SCOPED_TRACE(std::string(route.method) + " " + route.path);
    EXPECT_EQ(DescriptionOf(route)["operationId"].asString(), route.className);
  }
}

// The router writes "{}" for an empty answer unless the route may answer none.
TEST(ApiDescriptionTest, OnlyRoutesThatMayAnswerNoBodyAllowAnEmptySuccess) {
  for (const Route& route : Routes()) {
    SCOPED_TRACE(std::string(route.method) + " " + route.path);
    const Json::Value& success = Resolved(DescriptionOf(route)["responses"]["200"]);
    ASSERT_TRUE(success.isObject());
    EXPECT_EQ(success.get(kEmptyBodyAllowed, false).asBool(), route.mayAnswerEmptyBody);
  }
}

TEST(ApiDescriptionTest, EveryPathDescribesThePreflightAndTheRefusals) {
  const Json::Value& paths = ApiDescription()["paths"];
  for (const std::string& path : paths.getMemberNames()) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(paths[path].isMember("options"));
    for (const std::string& method : paths[path].getMemberNames()) {
      EXPECT_TRUE(paths[path][method]["responses"].isMember("default")) << method;
    }
  }
}

TEST(ApiDescriptionTest, TheVersionIsTheProjectVersion) {
  EXPECT_EQ(ApiDescription()["info"]["version"].asString(), KEYSTEAD_VERSION);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::uri::test
