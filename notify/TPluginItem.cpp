// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/TPluginItem.h"

#include <dlfcn.h>

TPluginItem::TPluginItem(void* AHandle, const QString& AFilename)
  : FPluginHandle(AHandle)
  , FFilename(AFilename)
{}

TPluginItem::~TPluginItem()
{
  // A library that refuses to unload stays mapped; nothing else can be done about it.
  if (FPluginHandle)
    (void)::dlclose(FPluginHandle);
}
