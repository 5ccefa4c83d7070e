// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "platform/VersionResource.h"

#include <cstring>

#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <unistd.h>

namespace {

// Closes the descriptor and the ELF handle on every path.
class TElfFile
{
public:
  explicit TElfFile(int AFd)
    : FFd(AFd)
  {
    if (elf_version(EV_CURRENT) != EV_NONE)
      FElf = elf_begin(FFd, ELF_C_READ_MMAP, nullptr);
  }
  ~TElfFile()
  {
    if (FElf)
      elf_end(FElf);
    ::close(FFd);
  }
  TElfFile(const TElfFile&) = delete;
  TElfFile& operator=(const TElfFile&) = delete;
  Elf* Handle() const { return FElf; }

private:
  int FFd;
  Elf* FElf = nullptr;
};

} // namespace

bool ReadVersionRecord(const QString& AFileName, QByteArray& ARecord, QString& AError)
{
  ARecord.clear();
  const int fd = ::open(EncodeFileName(AFileName).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    AError = QStringLiteral("Cannot open \"%1\": %2").arg(AFileName, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  TElfFile file(fd);
  if (!file.Handle() || elf_kind(file.Handle()) != ELF_K_ELF) {
    AError = QStringLiteral("\"%1\" is not an executable file.").arg(AFileName);
    return false;
  }
  Elf_Scn* section = nullptr;
  while ((section = elf_nextscn(file.Handle(), section)) != nullptr) {
    GElf_Shdr header;
    if (!gelf_getshdr(section, &header) || header.sh_type != SHT_NOTE)
      continue;
    Elf_Data* data = elf_getdata(section, nullptr);
    if (!data)
      continue;
    GElf_Nhdr note;
    size_t nameOffset = 0;
    size_t descOffset = 0;
    size_t offset = 0;
    while ((offset = gelf_getnote(data, offset, &note, &nameOffset, &descOffset)) > 0) {
      const char* bytes = static_cast<const char*>(data->d_buf);
      if (note.n_type == VersionRecordType && note.n_namesz == sizeof(VersionRecordOwner) &&
          std::memcmp(bytes + nameOffset, VersionRecordOwner, sizeof(VersionRecordOwner)) == 0) {
        // The text ends at its first NUL; the rest is padding.
        const QByteArray desc(bytes + descOffset, static_cast<qsizetype>(note.n_descsz));
        const qsizetype end = desc.indexOf('\0');
        ARecord = end < 0 ? desc : desc.left(end);
        return true;
      }
    }
  }
  AError = QStringLiteral("\"%1\" has no version information.").arg(AFileName);
  return false;
}
