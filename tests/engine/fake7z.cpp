// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-ins for 7z.so that the loader must refuse: each build leaves out or falsifies one thing.
#include <cstdint>
#include <cstring>

namespace {

struct TGuid
{
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};

struct TPropVariant
{
  std::uint16_t vt;
  std::uint16_t Reserved[3];
  std::uint64_t Value;
};

} // namespace

extern "C" {

#ifndef FAKE_NO_CREATE_OBJECT
__attribute__((visibility("default"))) int CreateObject(const TGuid*, const TGuid*, void** AObject)
{
  *AObject = nullptr;
  return static_cast<int>(0x80040111u); // class not available
}
#endif

#ifndef FAKE_NO_MODULE_PROP
__attribute__((visibility("default"))) int GetModuleProp(std::uint32_t AProp, TPropVariant* AValue)
{
  AValue->vt = 19; // VT_UI4
  AValue->Value = AProp == 0 ? FAKE_INTERFACE_TYPE : FAKE_VERSION;
  return 0;
}
#endif

__attribute__((visibility("default"))) wchar_t* SysAllocStringLen(const wchar_t*, unsigned)
{
  return nullptr;
}
__attribute__((visibility("default"))) void SysFreeString(wchar_t*) {}
__attribute__((visibility("default"))) int VariantClear(TPropVariant*)
{
  return 0;
}

#ifdef FAKE_WRONG_IID
// IID_IOutArchive with the wrong sub-number.
__attribute__((visibility("default"))) extern const TGuid IID_IOutArchive;
const TGuid IID_IOutArchive = {0x23170F69, 0x40C1, 0x278A, {0, 0, 0, 6, 0, 0xA1, 0, 0}};
#endif
}
