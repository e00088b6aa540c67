#include "host/HttpServer.h"

#include <json/json.h>

#include <algorithm>
#include <array>
#include <utility>

#include "host/Console.h"
#include "host/LimitedSocketStream.h"
#include "os/ascii_text.h"
#include "os/stream_socket.h"

namespace keystead::host {
namespace {

using std::chrono::milliseconds;

constexpr std::string_view kPluginPrefix = "/q/v1/";
constexpr char kJsonType[] = "application/json; charset=UTF-8";

// How long a kept-alive connection may sit idle, and how many requests it may
// carry, before the server closes it.
constexpr std::time_t kKeepAliveIdleSeconds = 5;
constexpr std::size_t kKeepAliveRequests = 100;

// Headers cpp-httplib adds to a request on its own; they are not the client's.
constexpr std::array<std::string_view, 4> kLibraryHeaders = {"REMOTE_ADDR", "REMOTE_PORT",
                                                             "LOCAL_ADDR", "LOCAL_PORT"};
// Framing headers of the plug-in's answer are the server's to write.
constexpr std::array<std::string_view, 4> kFramingHeaders = {"Content-Length", "Content-Type",
                                                             "Transfer-Encoding", "Connection"};

template <std::size_t N>
bool IsOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::any_of(names.begin(), names.end(), [name](std::string_view known) {
    return os::EqualsIgnoringCase(name, known);
  });
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsClientHeader(const std::string& name) { return !IsOneOf(name, kLibraryHeaders); }

std::vector<std::string_view> HeaderValues(const httplib::Request& request, const char* name) {
  std::vector<std::string_view> values;
  const auto [first, last] = request.headers.equal_range(name);
  for (auto header = first; header != last; ++header) values.emplace_back(header->second);
  return values;
}

std::size_t HeaderBytes(const httplib::Request& request) {
  std::size_t bytes = request.target.size();
  for (const auto& [name, value] : request.headers) {
    if (IsClientHeader(name)) bytes += name.size() + value.size() + 4;
  }
  return bytes;
}

// A zero byte would silently cut the texts the plug-in reads as C strings.
bool HasZeroByte(const httplib::Request& request) {
  const auto hasZero = [](const std::string& text) { return text.find('\0') != std::string::npos; };
  return hasZero(request.target) ||
         std::any_of(request.headers.begin(), request.headers.end(), [&](const auto& header) {
           return hasZero(header.first) || hasZero(header.second);
         });
}

// "Name: value" lines joined by CR LF, as the plug-in reads a header block.
std::string HeaderBlock(const httplib::Request& request) {
  std::string block;
  for (const auto& [name, value] : request.headers) {
    if (!IsClientHeader(name)) continue;
    if (!block.empty()) block += "\r\n";
    block += name + ": " + value;
  }
  return block;
}

void AnswerHostError(httplib::Response& response, int status, const std::string& description) {
  Json::Value error;
  error["error"]["source"] = "host";
  error["error"]["description"] = description;
  response.status = status;
  response.set_content(Json::FastWriter().write(error), kJsonType);
}

void Refuse(const httplib::Request& request, httplib::Response& response, int status,
            const std::string& reason) {
  PrintLine("refused " + Printable(request.method, 16) + " " + Printable(request.target) + ": " +
            reason);
  AnswerHostError(response, status, reason);
}

// A body length is one run of digits (RFC 9110), given once or repeated with
// the same value. Anything else frames the body ambiguously: the library would
// read it as a huge length and wait for a body that never comes.
bool HasUsableContentLength(const httplib::Request& request) {
  const auto lengths = HeaderValues(request, "Content-Length");
  if (lengths.empty()) return true;
  const std::string_view first = Trim(lengths.front());
  const bool digits =
      !first.empty() && first.size() <= 18 &&
      std::all_of(first.begin(), first.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits && std::all_of(lengths.begin(), lengths.end(),
                               [first](std::string_view length) { return Trim(length) == first; });
}

void CopyPluginAnswer(const PluginResponse& answer, httplib::Response& response) {
  if (answer.status < 100 || answer.status > 599) {
    AnswerHostError(response, 502, "The plug-in answered without a valid status");
    return;
  }
  std::string contentType = kJsonType;
  std::string_view lines = answer.headers;
  while (!lines.empty()) {
    const std::size_t end = std::min(lines.find('\n'), lines.size());
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(std::min(end + 1, lines.size()));
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string name(Trim(line.substr(0, colon)));
    std::string_view value = line.substr(colon + 1);
    value = Trim(value.substr(0, value.find('\r')));
    const std::string cleanValue(value);
    if (name.empty()) continue;
    if (os::EqualsIgnoringCase(name, "Content-Type")) {
      contentType = cleanValue;
    } else if (!IsOneOf(name, kFramingHeaders)) {
      response.set_header(name, cleanValue);
    }
  }
  response.status = answer.status;
  response.set_content(answer.body, contentType);
}

void ServePage(const PageFile& file, httplib::Response& response) {
  response.set_header("Cache-Control", "no-store");
  response.set_header("X-Content-Type-Options", "nosniff");
  // The page talks to its own origin only and may not be framed by another site.
  response.set_header("Content-Security-Policy",
                      "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
  response.status = 200;
  response.set_content(file.content, file.contentType);
}

}  // namespace

// cpp-httplib's server with its connection loop replaced, so that every
// connection runs through a LimitedSocketStream.
class HttpServer::Listener final : public httplib::Server {
 public:
  explicit Listener(const StreamLimits& limits) : limits_(limits) {}

  bool IsListening() const { return svr_sock_ != INVALID_SOCKET; }

 private:
  bool process_and_close_socket(::socket_t socket) override {
    bool handled = false;
    {
      LimitedSocketStream stream(socket, limits_);
      const auto keepWaiting = [this] { return IsListening(); };
      const milliseconds idle = std::chrono::seconds(keep_alive_timeout_sec_);
      for (std::size_t left = keep_alive_max_count_;
           left > 0 && keepWaiting() && stream.WaitForRequest(idle, keepWaiting); --left) {
        stream.BeginRequest();
        const bool lastRequest = left == 1 || !keepWaiting();
        bool clientClosing = false;
        handled = process_request(stream, lastRequest, clientClosing, nullptr);
        if (!handled || clientClosing || stream.LimitReached()) break;
      }
    }
    os::ShutdownAndCloseSocket(socket);
    return handled;
  }

  const StreamLimits limits_;
};

HttpServer::HttpServer(const PluginLibrary& plugin, PageFiles pageFiles, HttpServerOptions options)
    : plugin_(plugin), pageFiles_(std::move(pageFiles)), options_(options) {
  StreamLimits limits;
  limits.maxRequestBytes = options_.maxHeaderBytes + options_.maxBodyBytes + 8192;
  limits.readWait = milliseconds(5000);
  limits.requestReadTime = milliseconds(10000);
  limits.responseWriteTime = milliseconds(10000);
  listener_ = std::make_unique<Listener>(limits);
  const std::size_t threads = std::max<std::size_t>(options_.threads, 2);
  // cpp-httplib takes ownership of the queue it is handed.
  listener_->new_task_queue = [threads] {
    return std::make_unique<httplib::ThreadPool>(threads).release();
  };
  listener_->set_payload_max_length(options_.maxBodyBytes);
  listener_->set_keep_alive_max_count(kKeepAliveRequests);
  listener_->set_keep_alive_timeout(kKeepAliveIdleSeconds);
  listener_->set_tcp_nodelay(true);
  // The library's default also sets SO_REUSEPORT, which would let a second host
  // (or any process of the same user) bind this port beside us and take requests.
  listener_->set_socket_options(
      [](::socket_t socket) { os::UseExclusiveAddress(static_cast<os::SocketHandle>(socket)); });

  // Checked before the library reads a body, which it frames by this header.
  listener_->set_pre_routing_handler(
      [](const httplib::Request& request, httplib::Response& response) {
        if (HasUsableContentLength(request)) return httplib::Server::HandlerResponse::Unhandled;
        Refuse(request, response, 400, "Content-Length is not a length");
        response.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
      });
  const auto handle = [this](const httplib::Request& request, httplib::Response& response) {
    Handle(request, response);
  };
  listener_->Get(".*", handle);
  listener_->Options(".*", handle);
  listener_->Post(".*", handle);
  listener_->Put(".*", handle);
  listener_->Patch(".*", handle);
  listener_->Delete(".*", handle);
  listener_->set_exception_handler(
      [](const httplib::Request& request, httplib::Response& response, std::exception_ptr) {
        Refuse(request, response, 500, "The host failed to answer the request");
      });
}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Bind(std::string& error) {
  const bool bound = options_.port == 0 ? (port_ = listener_->bind_to_any_port("127.0.0.1")) > 0
                                        : listener_->bind_to_port("127.0.0.1", options_.port);
  if (!bound) {
    port_ = 0;
    error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port);
    return false;
  }
  if (options_.port != 0) port_ = options_.port;
  guard_ = std::make_unique<RequestGuard>(port_);
  return true;
}

void HttpServer::Start(std::function<void()> onUnexpectedEnd) {
  thread_ = std::thread([this, onUnexpectedEnd = std::move(onUnexpectedEnd)] {
    listener_->listen_after_bind();
    serveEnded_ = true;
    if (!stopping_ && onUnexpectedEnd) onUnexpectedEnd();
  });
}

void HttpServer::Stop() {
  stopping_ = true;
  if (!thread_.joinable()) return;
  // stop() acts only once the accept loop runs; a stop right after Start waits for it.
  while (!serveEnded_ && !listener_->is_running()) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  // Closing the listening socket ends the accept loop; listen_after_bind then
  // waits for the pool's requests in flight before the thread returns.
  listener_->stop();
  thread_.join();
}

void HttpServer::Handle(const httplib::Request& request, httplib::Response& response) const {
  RequestFacts facts{request.method, HeaderValues(request, "Host"),
                     HeaderValues(request, "Origin")};
  switch (guard_->Check(facts)) {
    case GuardVerdict::kForeignHost:
      Refuse(request, response, 403, "Host header does not name this loopback host");
      return;
    case GuardVerdict::kForeignOrigin:
      Refuse(request, response, 403, "Origin is not allowed to change state here");
      return;
    case GuardVerdict::kAllow:
      break;
  }
  if (HeaderBytes(request) > options_.maxHeaderBytes) {
    Refuse(request, response, 431, "Request headers are too large");
    return;
  }
  if (HasZeroByte(request)) {
    Refuse(request, response, 400, "Request holds a zero byte");
    return;
  }
  if (request.path.starts_with(kPluginPrefix)) {
    ForwardToPlugin(request, response);
    return;
  }
  const auto page = pageFiles_.find(request.path);
  if (page != pageFiles_.end() && (request.method == "GET" || request.method == "HEAD")) {
    ServePage(page->second, response);
    return;
  }
  AnswerHostError(response, 404, "Not found");
}

void HttpServer::ForwardToPlugin(const httplib::Request& request,
                                 httplib::Response& response) const {
  PluginRequest pluginRequest;
  pluginRequest.method = request.method;
  pluginRequest.url = request.target;
  pluginRequest.headers = HeaderBlock(request);
  pluginRequest.body = request.body;
  CopyPluginAnswer(plugin_.ProcessRequest(pluginRequest), response);
}

void HttpServer::AllowDomainSuffix(const std::string& suffix) {
  if (guard_) guard_->AllowDomainSuffix(suffix);
}

}  // namespace keystead::host
