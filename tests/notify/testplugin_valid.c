/* SPDX-License-Identifier: GPL-3.0-or-later */
/* A complete plug-in written in C, which records every call for the test to read through its
   extra export TestCalls. */
#include "corvale-plugin.h"

#include <stdio.h>
#include <string.h>

static char calls[4096];
static char16_t result[4096];

/* The tests pass ASCII only. */
static void Ascii(const char16_t* AText, char* ABuffer, size_t ASize)
{
  size_t i = 0;
  for (; AText[i] && i + 1 < ASize; ++i)
    ABuffer[i] = AText[i] == '\r' ? 'R' : AText[i] == '\n' ? 'N' : (char)AText[i];
  ABuffer[i] = 0;
}

static void Record(const char* AFormat, const char16_t* AFirst, int ANumber, const char16_t* ASecond,
                   const char16_t* AThird)
{
  char first[512], second[512] = "", third[512] = "";
  Ascii(AFirst, first, sizeof first);
  if (ASecond)
    Ascii(ASecond, second, sizeof second);
  if (AThird)
    Ascii(AThird, third, sizeof third);
  size_t used = strlen(calls);
  snprintf(calls + used, sizeof calls - used, AFormat, first, ANumber, second, third);
}

const char16_t* GetPluginName(void)
{
  return u"Valid";
}
const char16_t* GetPluginVersion(void)
{
  return u"1.2";
}
const char16_t* GetPluginDeveloper(void)
{
  return u"Tester";
}

void ShowConfig(const char16_t* AProfileName)
{
  Record("Config(%s)%.0d%s%s;", AProfileName, 0, 0, 0);
}
void BackupBegin(const char16_t* AProfileName)
{
  Record("Begin(%s)%.0d%s%s;", AProfileName, 0, 0, 0);
}

const char16_t* BackupFileList(const char16_t* AProfileName, const char16_t* AFileList)
{
  Record("List(%s%.0d,%s)%s;", AProfileName, 0, AFileList, 0);
  return AFileList;
}

void BackupProgress(const char16_t* AProfileName, int32_t AProgress, const char16_t* AMessage)
{
  Record("Progress(%s,%d,%s)%s;", AProfileName, AProgress, AMessage, 0);
}

void BackupEnd(const char16_t* AProfileName, int32_t AStatus, const char16_t* AZipFileName,
               const char16_t* ALogFileName)
{
  Record("End(%s,%d,%s,%s);", AProfileName, AStatus, AZipFileName, ALogFileName);
}

__attribute__((visibility("default"))) const char16_t* TestCalls(void)
{
  size_t i = 0;
  for (; calls[i]; ++i)
    result[i] = (char16_t)calls[i];
  result[i] = 0;
  calls[0] = 0;
  return result;
}
