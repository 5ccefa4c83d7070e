/* SPDX-License-Identifier: GPL-3.0-or-later */
/* The interface between Corvale and its plug-in libraries. See docs/plugins.md for a guide. */
#ifndef CORVALE_PLUGIN_H
#define CORVALE_PLUGIN_H

#include <stdint.h>

#ifndef __cplusplus
#include <uchar.h> /* char16_t */
#endif

/*
 * A plug-in is a shared object ("*.so") in the program's "plugins" folder. Corvale looks its
 * exports up by these exact names, so they must have C linkage and default visibility. Every
 * export uses the platform's C calling convention.
 *
 * Strings are null-terminated UTF-16 in the byte order of the machine (char16_t).
 * - Strings Corvale passes are never null (an empty string is a pointer to a null character).
 *   They are valid only during the call: copy what you want to keep, and never free them.
 * - Strings a plug-in returns are copied by Corvale as soon as the call returns and are never
 *   freed by it; keep them valid at least until then (a static or thread-local buffer will do).
 *   A null result counts as an empty string.
 * - File names that are not valid UTF-8 on disk carry each byte that is not part of a valid
 *   UTF-8 sequence as the lone surrogate U+DC80 + byte (U+DC80..U+DCFF).
 *
 * GetPluginName, GetPluginVersion and GetPluginDeveloper are required; a library without one of
 * them is not loaded. The others are optional. Plug-ins with the same name count once: only the
 * first one loaded is called.
 */

#ifdef __cplusplus
#define CORVALE_PLUGIN_EXTERN_C extern "C"
#else
#define CORVALE_PLUGIN_EXTERN_C
#endif

#define CORVALE_PLUGIN_EXPORT CORVALE_PLUGIN_EXTERN_C __attribute__((visibility("default")))

/* How a backup ended (AStatus of BackupEnd). */
enum { CORVALE_BACKUP_COMPLETE = 0, CORVALE_BACKUP_FAILED = 1, CORVALE_BACKUP_CANCELLED = 2 };

/* The plug-in's name, used to tell plug-ins apart (letter case is ignored). */
typedef const char16_t* (*TCorvaleGetPluginName)(void);
/* The plug-in's version, shown to the user. */
typedef const char16_t* (*TCorvaleGetPluginVersion)(void);
/* Who made the plug-in, shown to the user. */
typedef const char16_t* (*TCorvaleGetPluginDeveloper)(void);
/* Shows the plug-in's own settings for a profile and returns when the user is done. */
typedef void (*TCorvaleShowConfig)(const char16_t* AProfileName);
/* A profile's backup begins. */
typedef void (*TCorvaleBackupBegin)(const char16_t* AProfileName);
/* The files the backup will contain, one full path per line, each line ending in CR LF. The
   result is the complete new list in the same form (CR LF, CR or LF end a line); null empties
   the list. Return AFileList itself to leave the list unchanged. */
typedef const char16_t* (*TCorvaleBackupFileList)(const char16_t* AProfileName, const char16_t* AFileList);
/* Progress of the profile in percent (0 to 100) and the engine's progress text. */
typedef void (*TCorvaleBackupProgress)(const char16_t* AProfileName, int32_t AProgress, const char16_t* AMessage);
/* The backup ended with AStatus (CORVALE_BACKUP_...). AZipFileName holds the archive files written,
   one path per line, each line ending in CR LF (empty when none); ALogFileName is the profile's run
   log, which is still being written. */
typedef void (*TCorvaleBackupEnd)(const char16_t* AProfileName, int32_t AStatus, const char16_t* AZipFileName,
                                  const char16_t* ALogFileName);

/* The declarations a plug-in implements. Corvale itself looks them up by name and does not use
   these; they let the compiler check a plug-in's definitions. */
#ifndef CORVALE_PLUGIN_NO_DECLARATIONS
CORVALE_PLUGIN_EXPORT const char16_t* GetPluginName(void);
CORVALE_PLUGIN_EXPORT const char16_t* GetPluginVersion(void);
CORVALE_PLUGIN_EXPORT const char16_t* GetPluginDeveloper(void);
CORVALE_PLUGIN_EXPORT void ShowConfig(const char16_t* AProfileName);
CORVALE_PLUGIN_EXPORT void BackupBegin(const char16_t* AProfileName);
CORVALE_PLUGIN_EXPORT const char16_t* BackupFileList(const char16_t* AProfileName, const char16_t* AFileList);
CORVALE_PLUGIN_EXPORT void BackupProgress(const char16_t* AProfileName, int32_t AProgress, const char16_t* AMessage);
CORVALE_PLUGIN_EXPORT void BackupEnd(const char16_t* AProfileName, int32_t AStatus, const char16_t* AZipFileName,
                                     const char16_t* ALogFileName);
#endif

#endif /* CORVALE_PLUGIN_H */
