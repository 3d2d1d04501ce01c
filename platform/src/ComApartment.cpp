// Apartments: each thread enters one, of the kind it asks for first, and
// counts how often it entered so that only its last CoUninitialize leaves.
#include "ComRuntime.h"

namespace qorv::platform {

namespace {

struct Apartment {
  unsigned Entries = 0;
  DWORD Model = COINIT_APARTMENTTHREADED;
};

// Apartment membership is a property of the thread, as on Windows.
Apartment& ThisThreadsApartment() {
  thread_local Apartment apartment;
  return apartment;
}

constexpr DWORD kModelBits = COINIT_APARTMENTTHREADED;

}  // namespace

bool ThreadInApartment() { return ThisThreadsApartment().Entries > 0; }

}  // namespace qorv::platform

using namespace qorv::platform;

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  Apartment& apartment = ThisThreadsApartment();
  const DWORD model = dwCoInit & kModelBits;
  if (apartment.Entries == 0) {
    apartment.Model = model;
    apartment.Entries = 1;
    return S_OK;
  }
  // A thread cannot change apartments without leaving the one it is in; the
  // refused call is not counted and needs no CoUninitialize.
  if (apartment.Model != model) return RPC_E_CHANGED_MODE;
  ++apartment.Entries;
  return S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void WINAPI CoUninitialize() {
  Apartment& apartment = ThisThreadsApartment();
  if (apartment.Entries > 0) --apartment.Entries;
}
