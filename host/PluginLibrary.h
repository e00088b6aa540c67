#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "os/dynamic_library.h"
#include "plugin/entry/KeysteadPlugin.h"

namespace keystead::host {

// One request as the plug-in reads it.
struct PluginRequest {
  std::string method;
  std::string url;      // target as sent: path and query
  std::string headers;  // "Name: value" lines joined by CR LF
  std::string body;
};

// The plug-in's answer, copied out of its buffers.
struct PluginResponse {
  unsigned short status = 0;
  std::string headers;  // CR LF separated "Name: value" lines
  std::string body;
};

// The plug-in library loaded at run time, with its five exports resolved.
// The library stays loaded for this object's lifetime; Finalize must have run
// (or Initialize never succeeded) before it is destroyed.
class PluginLibrary {
 public:
  // Loads the library at `path`. nullopt, with `error` set, when it cannot be
  // loaded or lacks one of the exports.
  static std::optional<PluginLibrary> Load(const std::string& path, std::string& error);

  PluginLibrary(PluginLibrary&&) noexcept = default;
  PluginLibrary& operator=(PluginLibrary&&) noexcept = default;
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;
  ~PluginLibrary() = default;

  // Calls Initialize; `callbacks` is copied by the plug-in, `hostContext`
  // must stay valid until Finalize. Not to be called while requests run.
  bool Initialize(void* hostContext, const HostCallbacks& callbacks);

  // Hands one request to the plug-in with the starting status 0 (so that a
  // request no handler takes is answered 400) and copies its answer; both
  // buffers go back through FreeMem. Thread-safe; may block for a poll's
  // duration. The body must be shorter than 2 GiB.
  PluginResponse ProcessRequest(const PluginRequest& request) const;

  // Calls Finalize. No request may be in flight.
  void Finalize();

 private:
  PluginLibrary(os::DynamicLibrary library, decltype(&::Initialize) initialize,
                decltype(&::ProcessRequest) processRequest, decltype(&::FreeMem) freeMem,
                decltype(&::Finalize) finalize);

  os::DynamicLibrary library_;
  decltype(&::Initialize) initialize_;
  decltype(&::ProcessRequest) processRequest_;
  decltype(&::FreeMem) freeMem_;
  decltype(&::Finalize) finalize_;
};

}  // namespace keystead::host
