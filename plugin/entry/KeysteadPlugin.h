/* The plug-in's public C interface, for the local web host that loads it. */
#ifndef KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGIN_H_
#define KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGIN_H_

#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "KeysteadPluginExport.h" /* beside this header, in the tree and installed */

#ifdef __cplusplus
extern "C" {
#endif

/* Functions the host hands to Initialize. The plug-in copies the record by
 * value; texts are NUL-terminated and valid only during the call. */

/* Announces a served path or a registration text to the host. */
typedef void (*KsRegisterPathFn)(void* hostContext, const char* text);
/* Entries 1 and 2: copied but never called by the plug-in. */
typedef void (*KsUnusedHostFn)(void);
/* Asks the host to revoke an encoded RAT; true when it did. */
typedef bool (*KsRevokeRatFn)(void* hostContext, const char* encodedRat);
/* Reports a companion device as authenticated, without host context; may be
 * null when the host does not want these reports. Called on an engine
 * thread. */
typedef void (*KsDeviceAuthenticatedFn)(const char* first, const char* second);

/* The host callbacks, in this order. */
typedef struct HostCallbacks {
  KsRegisterPathFn registerPath;
  KsUnusedHostFn reserved1;
  KsUnusedHostFn reserved2;
  KsRevokeRatFn revokeRat;
  KsDeviceAuthenticatedFn deviceAuthenticated;
} HostCallbacks;

/* ---- Exported entry points (Initialize, ProcessRequest, FreeMem,
 * AbortRequest, Finalize) are declared below this line. ---- */

/* None of the entry points lets an exception or a crash escape for bad input;
 * null output pointers are tolerated (nothing is written there). */

/* Announces the served paths through callbacks->registerPath (in ascending
 * order, before anything else), creates the engine, the listeners and the
 * router. True when the engine was initialised and the router exists. When
 * the engine's start fails, later requests retry it. May be called again
 * after Finalize (or instead of it: the previous state is torn down first).
 * Requests arriving meanwhile are refused with error 1003. Initialize and
 * Finalize must not be called from inside a host callback of a request (they
 * wait for the requests in flight). */
KS_PLUGIN_API bool Initialize(void* hostContext, const HostCallbacks* callbacks);

/* Answers one HTTP request; thread-safe. `requestHeaders` is the raw header
 * block, `content` the body (may be null) of `contentLength` bytes.
 * `*statusCode` holds the starting status on entry and the final status on
 * return. On return `*responseHeaders` and `*responseContent` point to new
 * NUL-terminated buffers owned by the caller, to be given back through
 * FreeMem; the length outputs receive their lengths without the NUL. A buffer
 * that cannot be allocated is returned as null with length 0. Always returns
 * true. */
KS_PLUGIN_API bool ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                                  int contentLength, const char* content,
                                  unsigned short* statusCode, int* responseHeadersLength,
                                  char** responseHeaders, int* responseContentLength,
                                  char** responseContent);

/* Releases a buffer handed out by ProcessRequest; ignores null. Always true. */
KS_PLUGIN_API bool FreeMem(const void* memory);

/* Signals the named event "STOP_FP_EVENT" that stops a waiting fingerprint
 * capture. Returns the result of closing the event handle: non-zero on
 * success, 0 when the event could not be created or closed. */
KS_PLUGIN_API int AbortRequest(void);

/* Stops a running capture and releases the router, the listeners and the
 * engine. Safe to call twice; waits for the requests in flight (at most one
 * poll of a frame endpoint, about 2 s) and refuses new ones meanwhile.
 * A host calls it before it unloads the plug-in or ends: a process that exits
 * without it leaves the engine running to the end and stops nothing, since
 * the engine may already be gone by then. */
KS_PLUGIN_API void Finalize(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGIN_H_ */
