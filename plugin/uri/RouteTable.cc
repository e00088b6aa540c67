#include "plugin/uri/RouteTable.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/uri/AddCADevice.h"
#include "plugin/uri/AddFPFactor.h"
#include "plugin/uri/AuthenticateFingerprint.h"
#include "plugin/uri/AuthenticateWithCADevice.h"
#include "plugin/uri/GetCloudServers.h"
#include "plugin/uri/GetDeviceIdStatus.h"
#include "plugin/uri/GetLocalSetting.h"
#include "plugin/uri/GetNewPairedDevices.h"
#include "plugin/uri/GetRemoteUsers.h"
#include "plugin/uri/GetStatus.h"
#include "plugin/uri/GetVSUAccount.h"
#include "plugin/uri/GetVideoDeviceStatus.h"
#include "plugin/uri/GetVideoDevices.h"
#include "plugin/uri/Logout.h"
#include "plugin/uri/PostAddDevice.h"
#include "plugin/uri/PostAuthenticate.h"
#include "plugin/uri/PostBCASettings.h"
#include "plugin/uri/PostDeviceContextRequest.h"
#include "plugin/uri/PostEnrollFrames.h"
#include "plugin/uri/PostFrameStop.h"
#include "plugin/uri/PostLocalSetting.h"
#include "plugin/uri/PostMatchFrames.h"
#include "plugin/uri/PostRemoteSessionSync.h"
#include "plugin/uri/PostRevoke.h"
#include "plugin/uri/PostSignPacket.h"
#include "plugin/uri/PostTelemetry.h"
#include "plugin/uri/PostVSUNotifyChange.h"
#include "plugin/uri/PostVideoDevice.h"
#include "plugin/uri/TryMatchFrames.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using Engine = std::shared_ptr<Corvane::QAV::SDK::FaceLogin>;
using InstallHelper = Corvane::Keystead::Vessa::KSInstHelper;

// A handler takes the engine and the holder, and some also what they pass on.
template <class Handler>
std::unique_ptr<IURIStrategy> Create(const HandlerServices& services) {
  if constexpr (std::is_constructible_v<Handler, Engine, common::LMListenerHolder*, void*,
                                        HostCallbacks>) {
    return std::make_unique<Handler>(services.engine, services.listenerHolder, services.hostContext,
                                     services.callbacks);
  } else if constexpr (std::is_constructible_v<Handler, Engine, common::LMListenerHolder*,
                                               InstallHelper*>) {
    return std::make_unique<Handler>(services.engine, services.listenerHolder,
                                     services.installHelper);
  } else {
    return std::make_unique<Handler>(services.engine, services.listenerHolder);
  }
}

constexpr bool kAnnounced = true;
constexpr bool kNotAnnounced = false;
constexpr bool kBodyAlways = false;
constexpr bool kBodyMayBeEmpty = true;

// Paths served for two methods.
constexpr char kVideoDevicesPath[] = "/devices/video";
constexpr char kSettingsPath[] = "/settings";

// clang-format off
// The class, its name for the router's error line, and how to make it.
#define KS_HANDLER(Class) #Class, &typeid(Class), &Create<Class>

// The order the router tries them in. TryMatchFrames stands before
// PostMatchFrames, which accepts "/frame/trymatch" as well: the path's own
// handler must be found first.
const Route kRoutes[] = {
    {"GET",  "/status/qav",               kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(GetStatus)},
    {"POST", "/devicecontext",            kNotAnnounced, kOperationRemote,    kBodyAlways,     KS_HANDLER(PostDeviceContextRequest)},
    {"POST", "/signpacket",               kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(PostSignPacket)},
    {"POST", "/frame/enrollment",         kAnnounced,    kOperationLocal,     kBodyAlways,     KS_HANDLER(PostEnrollFrames)},
    {"POST", "/frame/trymatch",           kNotAnnounced, kOperationRemote,    kBodyAlways,     KS_HANDLER(TryMatchFrames)},
    {"POST", "/frame/match",              kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(PostMatchFrames)},
    {"GET",  kVideoDevicesPath,           kAnnounced,    kOperationLocal,     kBodyAlways,     KS_HANDLER(GetVideoDevices)},
    {"GET",  "/camera/status",            kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(GetVideoDeviceStatus)},
    {"POST", "/frame/stop",               kAnnounced,    kOperationLocal,     kBodyAlways,     KS_HANDLER(PostFrameStop)},
    {"POST", kVideoDevicesPath,           kAnnounced,    kOperationLocal,     kBodyAlways,     KS_HANDLER(PostVideoDevice)},
    {"POST", "/sync",                     kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(PostRemoteSessionSync)},
    {"POST", "/tm",                       kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(PostTelemetry)},
    {"GET",  "/users/remote",             kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(GetRemoteUsers)},
    {"GET",  "/csp/servers",              kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(GetCloudServers)},
    {"POST", "/bca/settings",             kAnnounced,    kOperationLocal,     kBodyAlways,     KS_HANDLER(PostBCASettings)},
    {"GET",  "/status/deviceid",          kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(GetDeviceIdStatus)},
    {"GET",  kSettingsPath,               kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(GetLocalSetting)},
    {"POST", kSettingsPath,               kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(PostLocalSetting)},
    {"POST", "/authenticate",             kAnnounced,    kOperationRemote,    kBodyMayBeEmpty, KS_HANDLER(PostAuthenticate)},
    {"POST", "/revoke",                   kAnnounced,    kOperationStateless, kBodyMayBeEmpty, KS_HANDLER(PostRevoke)},
    {"POST", "/frame/adddevice",          kNotAnnounced, kOperationRemote,    kBodyAlways,     KS_HANDLER(PostAddDevice)},
    {"GET",  "/vsu/account",              kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(GetVSUAccount)},
    {"POST", "/vsu/notifychange",         kAnnounced,    kOperationStateless, kBodyAlways,     KS_HANDLER(PostVSUNotifyChange)},
    {"POST", "/fingerprint/addfactor",    kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(AddFPFactor)},
    {"POST", "/fingerprint/authenticate", kNotAnnounced, kOperationRemote,    kBodyAlways,     KS_HANDLER(AuthenticateFingerprint)},
    {"POST", "/ca/getnewpaireddevices",   kAnnounced,    kOperationLocal,     kBodyAlways,     KS_HANDLER(GetNewPairedDevices)},
    {"POST", "/ca/adddevice",             kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(AddCADevice)},
    {"POST", "/ca/authenticate",          kAnnounced,    kOperationRemote,    kBodyAlways,     KS_HANDLER(AuthenticateWithCADevice)},
    {"POST", "/ca/logout",                kNotAnnounced, kOperationLocal,     kBodyAlways,     KS_HANDLER(Logout)},
};
// clang-format on

#undef KS_HANDLER

}  // namespace

std::span<const Route> Routes() { return kRoutes; }

const Route& RouteOf(const std::type_info& handler) {
  const auto found =
      std::find_if(std::begin(kRoutes), std::end(kRoutes),
                   [&handler](const Route& route) { return *route.handler == handler; });
  if (found == std::end(kRoutes)) {
    throw std::logic_error(std::string("no route for handler ") + handler.name());
  }
  return *found;
}

}  // namespace corvane::larchmere::plugin::uri

namespace corvane::larchmere::plugin::common {

// The announced paths are rows of the route table, so the list is built here,
// with the handlers.
void LarchmerePluginHelper::BuildURIs(std::set<std::string>& uris) {
  uris.clear();
  for (const uri::Route& route : uri::Routes()) {
    if (route.announced) uris.insert(CreateURI(kPathPrefix, route.path));
  }
}

}  // namespace corvane::larchmere::plugin::common
