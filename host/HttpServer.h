#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "host/PluginLibrary.h"
#include "host/RequestGuard.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace keystead::host {

// A file of the demo page, served from memory.
struct PageFile {
  std::string contentType;
  std::string content;
};

// Page files by request path ("/", "/app.js", ...).
using PageFiles = std::map<std::string, PageFile, std::less<>>;

struct HttpServerOptions {
  int port = 8787;           // 0 picks a free port
  std::size_t threads = 32;  // requests served at once
  std::size_t maxHeaderBytes = 32 * 1024;
  std::size_t maxBodyBytes = 1024 * 1024;
};

// The host's HTTP listener on 127.0.0.1. Every request passes the
// RequestGuard first; paths under "/q/v1/" then go to the plug-in, the page's
// paths are served from PageFiles, and everything else is answered 404 here.
// Requests run on a pool of threads.
class HttpServer {
 public:
  // `plugin` must outlive the server. Nothing listens before Bind.
  HttpServer(const PluginLibrary& plugin, PageFiles pageFiles, HttpServerOptions options);
  // Stops and joins, as Stop does.
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds the loopback port. False, with `error` set, when it is taken.
  bool Bind(std::string& error);
  // The bound port; 0 before Bind.
  int Port() const { return port_; }
  // Serves on a thread of its own until Stop. Requires a successful Bind;
  // `onUnexpectedEnd` runs on that thread if serving ends without Stop.
  void Start(std::function<void()> onUnexpectedEnd);
  // Stops accepting, lets the requests in flight finish and joins the threads.
  // Idempotent; call from one thread.
  void Stop();

  // Widens the Origin allowlist to a cloud domain suffix the plug-in
  // registered. Thread-safe; ignored before Bind.
  void AllowDomainSuffix(const std::string& suffix);

 private:
  class Listener;

  void Handle(const httplib::Request& request, httplib::Response& response) const;
  void ForwardToPlugin(const httplib::Request& request, httplib::Response& response) const;

  const PluginLibrary& plugin_;
  const PageFiles pageFiles_;
  const HttpServerOptions options_;
  std::unique_ptr<Listener> listener_;
  std::unique_ptr<RequestGuard> guard_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> serveEnded_{false};
};

}  // namespace keystead::host
