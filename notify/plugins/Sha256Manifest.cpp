// SPDX-License-Identifier: GPL-3.0-or-later
// A plug-in that writes, after every complete backup, a SHA-256 manifest beside the archive:
// "<archive>.sha256", one line per archive file or volume in the form "sha256sum -c" checks.
// A user can then verify an archive before restoring from it:
//   cd <archive folder> && sha256sum -c <archive>.sha256
#include "corvale-plugin.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file name's bytes: text as UTF-8, and the lone surrogates U+DC80..U+DCFF, which stand for
// bytes that are not valid UTF-8 on disk, as those bytes.
std::string FileNameBytes(std::u16string_view AName)
{
  std::string bytes;
  for (std::size_t i = 0; i < AName.size(); ++i) {
    char32_t c = AName[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < AName.size() && AName[i + 1] >= 0xDC00 && AName[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (AName[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      bytes += static_cast<char>(c - 0xDC00);
      continue;
    }
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c < 0x800) {
      bytes += static_cast<char>(0xC0 | (c >> 6));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += static_cast<char>(0xE0 | (c >> 12));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (c >> 18));
      bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

// The lines of a list whose lines end in CR LF.
std::vector<std::string> Lines(const char16_t* AText)
{
  std::vector<std::string> lines;
  if (!AText)
    return lines;
  const std::u16string_view text(AText);
  for (std::size_t from = 0; from < text.size();) {
    std::size_t end = text.find_first_of(u"\r\n", from);
    if (end == std::u16string_view::npos)
      end = text.size();
    if (end > from)
      lines.push_back(FileNameBytes(text.substr(from, end - from)));
    from = end + 1;
  }
  return lines;
}

[[noreturn]] void Fail(const char* AWhat, const std::string& AFile, int AErrno)
{
  throw std::runtime_error(std::string("SHA-256 manifest: cannot ") + AWhat + " \"" + AFile +
                           "\": " + std::strerror(AErrno));
}

// The file's SHA-256 in lower-case hexadecimal, read in blocks.
std::string HashFile(const std::string& AFile)
{
  const int fd = ::open(AFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    Fail("open", AFile, errno);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t count = ::read(fd, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0) {
      const int error = errno;
      ::close(fd);
      Fail("read", AFile, error);
    }
    if (count == 0)
      break;
    hash.addData(QByteArrayView(buffer.data(), count));
  }
  ::close(fd);
  return hash.result().toHex().toStdString();
}

std::string FolderOf(const std::string& APath)
{
  const std::size_t slash = APath.rfind('/');
  return slash == std::string::npos ? std::string() : APath.substr(0, slash + 1);
}

// One line as "sha256sum" writes it: a name with a backslash or a line feed is escaped, and the
// line then begins with a backslash.
std::string ManifestLine(const std::string& AHash, const std::string& AName)
{
  std::string name;
  bool escaped = false;
  for (const char c : AName) {
    if (c == '\\' || c == '\n') {
      name += c == '\\' ? "\\\\" : "\\n";
      escaped = true;
    } else {
      name += c;
    }
  }
  return (escaped ? "\\" : "") + AHash + "  " + name + "\n";
}

// The manifest's name: the archive's, for volumes the name without the volume number.
std::string ManifestName(const std::string& AFirstFile)
{
  std::string archive = AFirstFile;
  if (archive.size() > 4 && archive.compare(archive.size() - 4, 4, ".001") == 0)
    archive.resize(archive.size() - 4);
  return archive + ".sha256";
}

void WriteAll(int AFd, const std::string& AText, const std::string& AFile)
{
  for (std::size_t written = 0; written < AText.size();) {
    const ssize_t count = ::write(AFd, AText.data() + written, AText.size() - written);
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      Fail("write", AFile, errno);
    written += static_cast<std::size_t>(count);
  }
}

// Writes the manifest through a temporary file and a rename, so that it is either the old one or
// the complete new one, with the archive's own permissions.
void WriteManifest(const std::vector<std::string>& AFiles)
{
  const std::string manifest = ManifestName(AFiles.front());
  const std::string folder = FolderOf(manifest);
  std::string text;
  for (const std::string& file : AFiles) {
    const std::string name = FolderOf(file) == folder ? file.substr(folder.size()) : file;
    text += ManifestLine(HashFile(file), name);
  }

  struct stat archive = {};
  const mode_t mode = ::stat(AFiles.front().c_str(), &archive) == 0 ? (archive.st_mode & 0666) : 0644;
  std::string temporary = manifest + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0)
    Fail("create", manifest, errno);
  try {
    WriteAll(fd, text, manifest);
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
      Fail("write", manifest, errno);
    const int closed = ::close(fd);
    if (closed != 0)
      Fail("write", manifest, errno);
  } catch (...) {
    ::close(fd);
    ::unlink(temporary.c_str());
    throw;
  }
  if (::rename(temporary.c_str(), manifest.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    Fail("create", manifest, error);
  }
}

} // namespace

CORVALE_PLUGIN_EXPORT const char16_t* GetPluginName(void)
{
  return u"SHA-256 Manifest";
}

CORVALE_PLUGIN_EXPORT const char16_t* GetPluginVersion(void)
{
  return u"1.0";
}

CORVALE_PLUGIN_EXPORT const char16_t* GetPluginDeveloper(void)
{
  return u"The Corvale developers";
}

// Nothing to configure: every complete backup gets its manifest.
CORVALE_PLUGIN_EXPORT void ShowConfig(const char16_t*) {}

CORVALE_PLUGIN_EXPORT void BackupEnd(const char16_t*, int32_t AStatus, const char16_t* AZipFileName, const char16_t*)
{
  if (AStatus != CORVALE_BACKUP_COMPLETE)
    return;
  const std::vector<std::string> files = Lines(AZipFileName);
  if (!files.empty())
    WriteManifest(files);
}
