// SPDX-License-Identifier: GPL-3.0-or-later
// 7-Zip's shared library, loaded at run time: its object factory and its string and variant helpers.
#pragma once

#include "engine/SevenZipInterfaces.h"

#include <QString>
#include <QStringList>

#include <memory>

class TSevenZipLibrary
{
public:
  ~TSevenZipLibrary();
  TSevenZipLibrary(const TSevenZipLibrary&) = delete;
  TSevenZipLibrary& operator=(const TSevenZipLibrary&) = delete;

  // The places the library is looked for: the program folder first, then the system's copy.
  static QStringList DefaultCandidates();
  // Loads the first candidate that is a usable library, or gives null; AReasons then tells, one
  // line per candidate, why each was refused.
  static std::shared_ptr<TSevenZipLibrary> Load(const QStringList& ACandidates, QStringList* AReasons = nullptr);

  const QString& FileName() const { return FFileName; }
  // (major << 16) | minor.
  SevenZip::UInt32 Version() const { return FVersion; }

  // An object of the 7z format with the interface AIid, already referenced once; null on failure.
  [[nodiscard]] SevenZip::HRESULT CreateObject(const SevenZip::GUID& AClassId, const SevenZip::GUID& AIid,
                                               void** AObject) const;

  // Strings handed to the library must come from its own allocator: it frees and wipes them.
  SevenZip::BSTR AllocString(const std::wstring& AText) const;
  void FreeString(SevenZip::BSTR AText) const;
  void ClearVariant(SevenZip::PROPVARIANT* AValue) const;

private:
  TSevenZipLibrary() = default;
  QString Open(const QString& AFileName);

  using TCreateObject = SevenZip::HRESULT (*)(const SevenZip::GUID*, const SevenZip::GUID*, void**);
  using TGetModuleProp = SevenZip::HRESULT (*)(SevenZip::PROPID, SevenZip::PROPVARIANT*);
  using TSysAllocStringLen = SevenZip::BSTR (*)(const SevenZip::OLECHAR*, unsigned);
  using TSysFreeString = void (*)(SevenZip::BSTR);
  using TVariantClear = SevenZip::HRESULT (*)(SevenZip::PROPVARIANT*);

  void* FHandle = nullptr;
  QString FFileName;
  SevenZip::UInt32 FVersion = 0;
  TCreateObject FCreateObject = nullptr;
  TSysAllocStringLen FSysAllocStringLen = nullptr;
  TSysFreeString FSysFreeString = nullptr;
  TVariantClear FVariantClear = nullptr;
};
