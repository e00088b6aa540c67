/* Symbol visibility of the plug-in library. The library is built with hidden
 * symbols; only what carries KS_PLUGIN_API is exported: the five entry
 * points and the forwarding classes of namespace test. */
#ifndef KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGINEXPORT_H_
#define KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGINEXPORT_H_

#if defined(_WIN32)
#if defined(KS_PLUGIN_BUILD)
#define KS_PLUGIN_API __declspec(dllexport)
#else
#define KS_PLUGIN_API __declspec(dllimport)
#endif
#else
#define KS_PLUGIN_API __attribute__((visibility("default")))
#endif

#endif /* KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGINEXPORT_H_ */
