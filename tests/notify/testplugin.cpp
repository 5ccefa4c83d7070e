// SPDX-License-Identifier: GPL-3.0-or-later
// Plug-ins with one peculiarity each, chosen by the definitions the build gives this file.
#include "corvale-plugin.h"

#include <stdexcept>
#include <string>

namespace {
std::u16string text;
int fileListCalls = 0;
} // namespace

CORVALE_PLUGIN_EXPORT const char16_t* GetPluginName(void)
{
  return PLUGIN_NAME;
}

#ifndef PLUGIN_NO_VERSION
CORVALE_PLUGIN_EXPORT const char16_t* GetPluginVersion(void)
{
  return u"1.0";
}
#endif

CORVALE_PLUGIN_EXPORT const char16_t* GetPluginDeveloper(void)
{
  return u"Tester";
}

#ifdef PLUGIN_NULL_LIST
CORVALE_PLUGIN_EXPORT const char16_t* BackupFileList(const char16_t*, const char16_t*)
{
  return nullptr;
}
#endif

#ifdef PLUGIN_APPEND
// Appends its line, ended by a bare LF, to what it was given.
CORVALE_PLUGIN_EXPORT const char16_t* BackupFileList(const char16_t*, const char16_t* AFileList)
{
  ++fileListCalls;
  text = std::u16string(AFileList) + PLUGIN_APPEND + u"\n";
  return text.c_str();
}
#endif

#ifdef PLUGIN_END_ONLY
CORVALE_PLUGIN_EXPORT void BackupEnd(const char16_t*, int32_t AStatus, const char16_t*, const char16_t*)
{
  text = u"End " + std::u16string(1, char16_t(u'0' + AStatus));
}
#endif

#ifdef PLUGIN_THROWS
CORVALE_PLUGIN_EXPORT void BackupBegin(const char16_t*)
{
  throw std::runtime_error("begin failed");
}

CORVALE_PLUGIN_EXPORT const char16_t* BackupFileList(const char16_t*, const char16_t*)
{
  throw std::runtime_error("list failed");
}

CORVALE_PLUGIN_EXPORT void BackupProgress(const char16_t*, int32_t, const char16_t*)
{
  throw 42;
}

CORVALE_PLUGIN_EXPORT void BackupEnd(const char16_t*, int32_t, const char16_t*, const char16_t*)
{
  throw std::runtime_error("end failed");
}
#endif

// For the tests: what the plug-in keeps, and how often its list call ran.
CORVALE_PLUGIN_EXPORT const char16_t* TestText(void)
{
  return text.c_str();
}

CORVALE_PLUGIN_EXPORT int TestFileListCalls(void)
{
  return fileListCalls;
}
