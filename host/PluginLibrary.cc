#include "host/PluginLibrary.h"

#include <utility>

namespace keystead::host {
namespace {

template <typename Function>
Function Resolve(const os::DynamicLibrary& library, const char* name, std::string& missing) {
  void* address = library.Symbol(name);
  if (address == nullptr) {
    missing += missing.empty() ? name : std::string(", ") + name;
    return nullptr;
  }
  return reinterpret_cast<Function>(address);
}

// Gives a plug-in buffer back through FreeMem when the copy is done, whatever
// happens while copying.
class PluginBuffer {
 public:
  PluginBuffer(decltype(&::FreeMem) freeMem, char* data) : freeMem_(freeMem), data_(data) {}
  PluginBuffer(const PluginBuffer&) = delete;
  PluginBuffer& operator=(const PluginBuffer&) = delete;
  ~PluginBuffer() {
    if (data_ != nullptr) freeMem_(data_);
  }

  std::string Text(int length) const {
    if (data_ == nullptr || length <= 0) return {};
    return std::string(data_, static_cast<std::size_t>(length));
  }

 private:
  decltype(&::FreeMem) freeMem_;
  char* data_;
};

}  // namespace

std::optional<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
  std::optional<os::DynamicLibrary> library = os::DynamicLibrary::Open(path);
  if (!library) {
    error = "cannot load the plug-in library " + path;
    return std::nullopt;
  }
  std::string missing;
  auto initialize = Resolve<decltype(&::Initialize)>(*library, "Initialize", missing);
  auto processRequest = Resolve<decltype(&::ProcessRequest)>(*library, "ProcessRequest", missing);
  auto freeMem = Resolve<decltype(&::FreeMem)>(*library, "FreeMem", missing);
  Resolve<decltype(&::AbortRequest)>(*library, "AbortRequest", missing);
  auto finalize = Resolve<decltype(&::Finalize)>(*library, "Finalize", missing);
  if (!missing.empty()) {
    error = path + " does not export " + missing;
    return std::nullopt;
  }
  return PluginLibrary(std::move(*library), initialize, processRequest, freeMem, finalize);
}

PluginLibrary::PluginLibrary(os::DynamicLibrary library, decltype(&::Initialize) initialize,
                             decltype(&::ProcessRequest) processRequest,
                             decltype(&::FreeMem) freeMem, decltype(&::Finalize) finalize)
    : library_(std::move(library)),
      initialize_(initialize),
      processRequest_(processRequest),
      freeMem_(freeMem),
      finalize_(finalize) {}

bool PluginLibrary::Initialize(void* hostContext, const HostCallbacks& callbacks) {
  return initialize_(hostContext, &callbacks);
}

PluginResponse PluginLibrary::ProcessRequest(const PluginRequest& request) const {
  unsigned short status = 0;
  int headersLength = 0;
  char* headers = nullptr;
  int contentLength = 0;
  char* content = nullptr;
  processRequest_(request.method.c_str(), request.url.c_str(), request.headers.c_str(),
                  static_cast<int>(request.body.size()), request.body.c_str(), &status,
                  &headersLength, &headers, &contentLength, &content);
  const PluginBuffer headersBuffer(freeMem_, headers);
  const PluginBuffer contentBuffer(freeMem_, content);
  PluginResponse response;
  response.status = status;
  response.headers = headersBuffer.Text(headersLength);
  response.body = contentBuffer.Text(contentLength);
  return response;
}

void PluginLibrary::Finalize() { finalize_(); }

}  // namespace keystead::host
