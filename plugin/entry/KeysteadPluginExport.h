/* Symbol visibility of the plug-in library. The library is built with hidden
 * symbols; what carries KS_PLUGIN_API may be exported: the five entry points
 * and the forwarding classes of namespace test. The export list of
 * plugin/CMakeLists.txt has the last word: a version script on ELF, and on
 * Windows a module definition file alone, since a dllexport marking would
 * export whatever carries it beside the file's list. */
#ifndef KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGINEXPORT_H_
#define KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGINEXPORT_H_

#if defined(_WIN32)
#if defined(KS_PLUGIN_BUILD)
#define KS_PLUGIN_API
#else
#define KS_PLUGIN_API __declspec(dllimport)
#endif
#else
#define KS_PLUGIN_API __attribute__((visibility("default")))
#endif

#endif /* KEYSTEAD_PLUGIN_ENTRY_KEYSTEADPLUGINEXPORT_H_ */
