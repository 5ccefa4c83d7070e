// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/TPlugins.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "sysinfo/Common.h"
#include "sysinfo/FindFiles.h"

#include <QRegularExpression>

#include <exception>
#include <string>

#include <dlfcn.h>

namespace {

template <typename T> T Export(void* AHandle, const char* AName)
{
  return reinterpret_cast<T>(::dlsym(AHandle, AName));
}

// A string for the duration of one call; never null.
class TArgument
{
public:
  explicit TArgument(const QString& AText)
    : FText(AText.toStdU16String())
  {}
  operator const char16_t*() const { return FText.c_str(); }

private:
  std::u16string FText;
};

// Copies a plug-in's result at once; null reads as empty.
QString Copy(const char16_t* AText)
{
  return AText ? QString::fromUtf16(AText) : QString();
}

// Runs one call into a plug-in. A C++ exception must not pass unnoticed through the program's
// frames, so whatever leaves the plug-in becomes an EPluginError here.
template <typename TCall> auto Guarded(const TPluginItem& AItem, const char* AExport, TCall ACall)
{
  try {
    return ACall();
  } catch (const std::exception& AError) {
    throw EPluginError(QString::fromUtf8(AError.what()));
  } catch (...) {
    throw EPluginError(
        QStringLiteral("Unknown exception in %1 of plugin \"%2\"").arg(QString::fromLatin1(AExport), AItem.Filename()));
  }
}

QString ListText(const QStringList& AList)
{
  QString text;
  for (const QString& line : AList)
    text += line + QStringLiteral("\r\n");
  return text;
}

// The lines of a plug-in's list: CR LF, CR or LF end a line. Blank lines name no file and are
// dropped, so that they never reach the archive writers as a path.
QStringList ListLines(const QString& AText)
{
  static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
  QStringList lines = AText.split(lineEnd, Qt::SkipEmptyParts);
  return lines;
}

} // namespace

TPlugins::TPlugins() = default;

TPlugins::~TPlugins() = default;

void TPlugins::SetActive(bool AValue)
{
  if (!AValue) {
    Unload();
    FActive = false;
    return;
  }
  if (FPluginFolder.isEmpty())
    throw EPluginError(QStringLiteral("No plugin folder has been specified."));
  if (!CheckDirectory(FPluginFolder, true))
    throw EPluginError(QStringLiteral("Failed to locate plugin folder \"%1\"").arg(FPluginFolder));

  Unload();
  QStringList files;
  FindFiles(IncludeTrailingPathDelimiter(FPluginFolder), QStringLiteral("*.so"), false, {}, files);
  for (const QString& file : std::as_const(files))
    LoadPlugin(file);
  FActive = true;
}

void TPlugins::Refresh()
{
  if (FActive)
    SetActive(true);
}

void TPlugins::Unload()
{
  // Later plug-ins may use earlier ones' symbols only through their own handles, so the order
  // does not matter; newest first mirrors the loading.
  while (!FItems.empty())
    FItems.pop_back();
}

void TPlugins::LoadPlugin(const QString& AFileName)
{
  // Every symbol is bound now: a library with a missing dependency is refused here rather than
  // failing in the middle of a run.
  void* handle = ::dlopen(EncodeFileName(AFileName).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle)
    return;
  const auto developer = Export<TCorvaleGetPluginDeveloper>(handle, "GetPluginDeveloper");
  const auto name = Export<TCorvaleGetPluginName>(handle, "GetPluginName");
  const auto version = Export<TCorvaleGetPluginVersion>(handle, "GetPluginVersion");
  if (!developer || !name || !version) {
    // Not a plug-in: released at once, so that it holds nothing while the collection is active.
    (void)::dlclose(handle);
    return;
  }
  TPluginItem* item = Add(handle, AFileName);
  item->SetPluginName(Copy(Guarded(*item, "GetPluginName", name)));
  item->SetPluginVersion(Copy(Guarded(*item, "GetPluginVersion", version)));
  item->SetPluginDeveloper(Copy(Guarded(*item, "GetPluginDeveloper", developer)));
  item->ShowConfig = Export<TCorvaleShowConfig>(handle, "ShowConfig");
  item->BackupBegin = Export<TCorvaleBackupBegin>(handle, "BackupBegin");
  item->BackupProgress = Export<TCorvaleBackupProgress>(handle, "BackupProgress");
  item->BackupEnd = Export<TCorvaleBackupEnd>(handle, "BackupEnd");
  item->BackupFileList = Export<TCorvaleBackupFileList>(handle, "BackupFileList");
}

TPluginItem* TPlugins::Add(void* AHandle, const QString& AFilename)
{
  FItems.push_back(std::make_unique<TPluginItem>(AHandle, AFilename));
  return FItems.back().get();
}

int TPlugins::IndexByName(const QString& AName) const
{
  for (int i = 0; i < Count(); ++i) {
    if (FItems[static_cast<std::size_t>(i)]->PluginName().compare(AName, Qt::CaseInsensitive) == 0)
      return i;
  }
  return -1;
}

TPluginItem* TPlugins::GetPluginByName(const QString& AName) const
{
  const int index = IndexByName(AName);
  if (index < 0)
    throw EPluginError(QStringLiteral("Invalid Plugin Name (%1)").arg(AName));
  return GetItem(index);
}

QStringList TPlugins::Names() const
{
  QStringList names;
  for (const auto& item : FItems)
    names << item->PluginName();
  return names;
}

TPluginItem* TPlugins::Receiver(int AIndex) const
{
  const int index = IndexByName(GetItem(AIndex)->PluginName());
  return GetItem(index < 0 ? AIndex : index);
}

void TPlugins::NotifyBackupStart()
{
  if (!FActive)
    return;
  const TArgument profile(FProfileName);
  for (int i = 0; i < Count(); ++i) {
    const TPluginItem* plugin = Receiver(i);
    if (plugin->BackupBegin)
      Guarded(*plugin, "BackupBegin", [&] { plugin->BackupBegin(profile); });
  }
}

void TPlugins::NotifyBackupFileList(QStringList& AFileList)
{
  if (!FActive)
    return;
  const TArgument profile(FProfileName);
  for (int i = 0; i < Count(); ++i) {
    const TPluginItem* plugin = Receiver(i);
    QString text = ListText(AFileList);
    if (plugin->BackupFileList) {
      const TArgument list(text);
      text = Copy(Guarded(*plugin, "BackupFileList", [&] { return plugin->BackupFileList(profile, list); }));
    }
    AFileList = ListLines(text);
  }
}

void TPlugins::NotifyBackupProgress(int AProgress, const QString& AMessage)
{
  if (!FActive)
    return;
  const TArgument profile(FProfileName);
  const TArgument message(AMessage);
  for (int i = 0; i < Count(); ++i) {
    const TPluginItem* plugin = Receiver(i);
    if (plugin->BackupProgress)
      Guarded(*plugin, "BackupProgress", [&] { plugin->BackupProgress(profile, AProgress, message); });
  }
}

void TPlugins::NotifyBackupEnd(int AStatus, const QStringList& AZipFiles, const QString& ALogFileName)
{
  if (!FActive)
    return;
  const TArgument profile(FProfileName);
  const TArgument zipFiles(ListText(AZipFiles));
  const TArgument logFile(ALogFileName);
  for (int i = 0; i < Count(); ++i) {
    const TPluginItem* plugin = Receiver(i);
    if (plugin->BackupEnd)
      Guarded(*plugin, "BackupEnd", [&] { plugin->BackupEnd(profile, AStatus, zipFiles, logFile); });
  }
}

void TPlugins::Config(const QString& APluginName, const QString& AProfileName)
{
  if (!FActive)
    return;
  const int index = IndexByName(APluginName);
  if (index < 0)
    return;
  const TPluginItem* plugin = GetItem(index);
  if (plugin->ShowConfig) {
    const TArgument profile(AProfileName);
    Guarded(*plugin, "ShowConfig", [&] { plugin->ShowConfig(profile); });
  }
}

void TPlugins::Config(const QString& APluginName)
{
  Config(APluginName, FProfileName);
}
