// What the COM-style interfaces of this port (DirectDraw, DirectSound) share:
// GUIDs and the HRESULT conventions.
#pragma once

#include <cstring>

#include "platform/win_types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using LPGUID = GUID*;
using LPCGUID = const GUID*;
using REFGUID = const GUID&;
using REFIID = const GUID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

#define MAKE_HRESULT(severity, facility, code)                                                  \
  static_cast<HRESULT>((static_cast<uint32_t>(severity) << 31) |                                 \
                       (static_cast<uint32_t>(facility) << 16) | static_cast<uint32_t>(code))
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002u)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001u)
#define E_POINTER static_cast<HRESULT>(0x80004003u)
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000Eu)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)
#define CLASS_E_NOAGGREGATION static_cast<HRESULT>(0x80040110u)

// The base of every interface. Objects count their references and delete
// themselves at the last Release; they are never deleted through this type.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
