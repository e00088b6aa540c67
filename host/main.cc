// keystead-host: the reference local web host. Loads the plug-in library,
// serves it and the demo page on 127.0.0.1, and finalises the plug-in on
// SIGINT or SIGTERM once the requests in flight have ended.
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "KeysteadVersion.h"
#include "host/Console.h"
#include "host/HostRegistrations.h"
#include "host/HttpServer.h"
#include "host/PluginLibrary.h"
#include "os/code_signature.h"
#include "os/file_system.h"
#include "os/shutdown_signal.h"

namespace keystead::host {
namespace {

struct Options {
  HttpServerOptions server;
  std::string pluginPath;
  std::string webFolder;
};

constexpr char kUsage[] =
    "usage: keystead-host [--port N] [--threads N] [--plugin PATH] [--web FOLDER]\n"
    "       keystead-host --version\n"
    "  --port N       loopback port to serve on (default 8787; 0 picks a free one)\n"
    "  --threads N    requests served at once (default 32)\n"
    "  --plugin PATH  the plug-in library to load (default: the installed one)\n"
    "  --web FOLDER   the folder of the demo page (default: the installed one)\n"
    "  --version      print the version and exit\n";

// The plug-in and the page when no option names them. The host of a build
// tree serves that build's plug-in and the source tree's page; a host
// anywhere else, an installed one, takes them from the install layout around
// its own folder (<prefix>/bin -> <prefix>/lib, <prefix>/share/keystead/web).
void SetDefaultPaths(Options& options) {
  options.pluginPath = KS_HOST_BUILD_PLUGIN;
  options.webFolder = KS_HOST_BUILD_WEB;
  const std::optional<std::string> executable = os::CurrentExecutablePath();
  if (!executable) return;
  const std::filesystem::path self = os::PathFromUtf8(*executable);
  std::error_code error;
  if (std::filesystem::equivalent(self, os::PathFromUtf8(KS_HOST_BUILD_EXECUTABLE), error)) {
    return;
  }
  const std::filesystem::path folder = self.parent_path();
  options.pluginPath =
      os::Utf8FromPath((folder / os::PathFromUtf8(KS_HOST_INSTALLED_PLUGIN)).lexically_normal());
  options.webFolder =
      os::Utf8FromPath((folder / os::PathFromUtf8(KS_HOST_INSTALLED_WEB)).lexically_normal());
}

std::optional<int> ParseNumber(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// Reads the command line; nullopt (after printing why) when it is wrong.
std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  SetDefaultPaths(options);
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (i + 1 >= argc) {
      std::cerr << "missing value after " << name << "\n" << kUsage;
      return std::nullopt;
    }
    const std::string_view value = argv[++i];
    bool understood = true;
    if (name == "--port") {
      const std::optional<int> port = ParseNumber(value, 0, 65535);
      understood = port.has_value();
      options.server.port = port.value_or(0);
    } else if (name == "--threads") {
      const std::optional<int> threads = ParseNumber(value, 2, 256);
      understood = threads.has_value();
      options.server.threads = static_cast<std::size_t>(threads.value_or(2));
    } else if (name == "--plugin") {
      options.pluginPath = value;
    } else if (name == "--web") {
      options.webFolder = value;
    } else {
      understood = false;
    }
    if (!understood) {
      std::cerr << "bad option " << name << " " << value << "\n" << kUsage;
      return std::nullopt;
    }
  }
  return options;
}

// The page's files and the API description, read once at start; nullopt when
// one is missing.
std::optional<PageFiles> LoadPage(const std::string& folder) {
  struct Entry {
    const char* path;
    const char* file;
    const char* type;
  };
  const Entry entries[] = {
      {"/", "index.html", "text/html; charset=UTF-8"},
      {"/app.js", "app.js", "text/javascript; charset=UTF-8"},
      {"/style.css", "style.css", "text/css; charset=UTF-8"},
      {"/keystead-client.js", "keystead-client.js", "text/javascript; charset=UTF-8"},
      {"/openapi.json", "openapi.json", "application/json"},
  };
  PageFiles files;
  for (const Entry& entry : entries) {
    std::ifstream input(std::filesystem::path(folder) / entry.file, std::ios::binary);
    if (!input) {
      std::cerr << "cannot read " << folder << "/" << entry.file << "\n";
      return std::nullopt;
    }
    std::ostringstream content;
    content << input.rdbuf();
    files.emplace(entry.path, PageFile{entry.type, content.str()});
  }
  files.emplace("/index.html", files.at("/"));
  return files;
}

int Run(const Options& options) {
  std::optional<PageFiles> page = LoadPage(options.webFolder);
  if (!page) return 1;

  std::string error;
  std::optional<PluginLibrary> plugin = PluginLibrary::Load(options.pluginPath, error);
  if (!plugin) {
    std::cerr << error << "\n";
    return 1;
  }

  HttpServer server(*plugin, std::move(*page), options.server);
  if (!server.Bind(error)) {
    std::cerr << error << "\n";
    return 1;
  }

  HostRegistrations registrations;
  registrations.SetDomainSuffixListener(
      [&server](const std::string& suffix) { server.AllowDomainSuffix(suffix); });
  if (!plugin->Initialize(registrations.Context(), registrations.Callbacks())) {
    PrintLine("plug-in Initialize returned false: the engine did not start; requests retry it");
  }
  PrintLine("plug-in announced " + std::to_string(registrations.AnnouncedPaths().size()) +
            " paths");

  server.Start([] {
    PrintLine("the HTTP listener stopped on its own");
    os::RequestShutdown();
  });
  PrintLine("Keystead host listening on http://127.0.0.1:" + std::to_string(server.Port()) +
            "/  (open it in a browser; Ctrl+C stops)");

  const std::string signal = os::WaitForShutdownSignal();
  PrintLine(signal + " received: finishing the requests in flight");
  server.Stop();
  plugin->Finalize();
  PrintLine("plug-in finalised; host stopped");
  return 0;
}

int Main(int argc, char** argv) {
  // Before any thread exists, so that every thread leaves the stop signals to main.
  os::PrepareShutdownSignals();
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "keystead-host " << KEYSTEAD_VERSION << "\n";
    return 0;
  }
  const std::optional<Options> options = ParseOptions(argc, argv);
  return options ? Run(*options) : 2;
}

}  // namespace
}  // namespace keystead::host

int main(int argc, char** argv) { return keystead::host::Main(argc, argv); }
