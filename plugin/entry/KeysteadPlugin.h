/* The plug-in's public C interface, for the local web host that loads it. */
#ifndef KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGIN_H_
#define KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGIN_H_

#ifndef __cplusplus
#include <stdbool.h>
#endif

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

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGIN_H_ */
