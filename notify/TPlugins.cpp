// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/TPlugins.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "sysinfo/Common.h"

#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <string>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Why a file or folder with AInfo cannot be trusted, or empty: it must belong to root or this
// user, and neither group nor others may write to it.
QString UntrustedReason(const struct stat& AInfo, const QString& AWhat)
{
  if (AInfo.st_uid != 0 && AInfo.st_uid != ::geteuid())
    return QStringLiteral("%1 belongs to another user (%2)").arg(AWhat).arg(AInfo.st_uid);
  if (AInfo.st_mode & (S_IWGRP | S_IWOTH))
    return QStringLiteral("%1 is writable by %2")
        .arg(AWhat, AInfo.st_mode & S_IWOTH ? QStringLiteral("others") : QStringLiteral("its group"));
  return QString();
}

QByteArray DescriptorPath(int AFd)
{
  return "/proc/self/fd/" + QByteArray::number(AFd);
}

// A copy of AFd whose "/proc/self/fd/N" names no library loaded before: the loader looks a
// library up by its name before it opens the file, so a number used by an earlier plug-in
// (kept loaded, as C++ libraries with unique symbols are) would hand that plug-in back. -1 when
// none is found.
int UnclaimedDescriptor(int AFd)
{
  for (int from = AFd + 1, tries = 0; tries < 64; ++tries) {
    const int candidate = ::fcntl(AFd, F_DUPFD_CLOEXEC, from);
    if (candidate < 0)
      return -1;
    const QByteArray path = DescriptorPath(candidate);
    void* loaded = ::dlopen(path.constData(), RTLD_LAZY | RTLD_NOLOAD);
    link_map* map = nullptr;
    // Found by its file (the same library loaded before) is no conflict; found by its name is.
    const bool claimed =
        loaded && (::dlinfo(loaded, RTLD_DI_LINKMAP, &map) != 0 || !map || qstrcmp(map->l_name, path) == 0);
    if (loaded)
      ::dlclose(loaded);
    if (!claimed)
      return candidate;
    ::close(candidate);
    from = candidate + 1;
  }
  return -1;
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
  LoadPlugins(IncludeTrailingPathDelimiter(FPluginFolder));
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

void TPlugins::Refuse(const QString& AFileName, const QString& AReason)
{
  if (OnLog)
    OnLog(QStringLiteral("Plugin \"%1\" not loaded: %2").arg(PrintableText(AFileName), AReason));
}

void TPlugins::LoadPlugins(const QString& AFolder)
{
  // A library runs its constructors as it is loaded, before any check of ours could refuse it,
  // so only files that no other user could have placed or changed are loaded.
  const int folder = ::open(EncodeFileName(AFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    Refuse(AFolder, qt_error_string(errno));
    return;
  }
  struct stat info = {};
  QString reason =
      ::fstat(folder, &info) == 0 ? UntrustedReason(info, QStringLiteral("the folder")) : qt_error_string(errno);
  DIR* dir = reason.isEmpty() ? ::fdopendir(::fcntl(folder, F_DUPFD_CLOEXEC, 0)) : nullptr;
  if (reason.isEmpty() && !dir)
    reason = qt_error_string(errno);
  if (!reason.isEmpty()) {
    Refuse(AFolder, reason);
    ::close(folder);
    return;
  }
  QList<QByteArray> names;
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    // Hidden files are never plug-ins.
    if (!name.startsWith('.') && name.endsWith(".so"))
      names << name;
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const QByteArray& name : std::as_const(names))
    LoadPlugin(folder, name, AFolder + DecodeFileName(name));
  ::close(folder);
}

void TPlugins::LoadPlugin(int AFolder, const QByteArray& AName, const QString& AFileName)
{
  // O_NOFOLLOW: a link is refused rather than followed; O_NONBLOCK: a FIFO cannot stall the run.
  const int fd = ::openat(AFolder, AName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    Refuse(AFileName, errno == ELOOP ? QStringLiteral("it is a symbolic link") : qt_error_string(errno));
    return;
  }
  struct stat info = {};
  QString reason = ::fstat(fd, &info) == 0 ? UntrustedReason(info, QStringLiteral("the file")) : qt_error_string(errno);
  if (reason.isEmpty() && !S_ISREG(info.st_mode))
    reason = QStringLiteral("it is not a regular file");
  if (!reason.isEmpty()) {
    ::close(fd);
    Refuse(AFileName, reason);
    return;
  }
  // The file checked is the file loaded: through its descriptor, not its name again.
  // Every symbol is bound now: a library with a missing dependency is refused here rather than
  // failing in the middle of a run.
  const int loadFd = UnclaimedDescriptor(fd);
  void* handle = loadFd < 0 ? nullptr : ::dlopen(DescriptorPath(loadFd).constData(), RTLD_NOW | RTLD_LOCAL);
  const QString loadError = handle       ? QString()
                            : loadFd < 0 ? QStringLiteral("no descriptor to load it through")
                                         : QString::fromLocal8Bit(::dlerror());
  if (loadFd >= 0)
    ::close(loadFd);
  ::close(fd);
  if (!handle) {
    Refuse(AFileName, QStringLiteral("it cannot be loaded (%1)").arg(loadError));
    return;
  }
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
