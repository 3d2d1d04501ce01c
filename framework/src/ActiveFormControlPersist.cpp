// The control's state kept by its host: the form's own properties as a
// stored form description, in a stream (a byte count, then the text), in the
// stream "CONTROLSAVESTREAM" of a storage, or by name in a property bag.
// A load either takes whole or changes nothing, the stream's position
// included. Unsaved changes are the difference between the form as it is and
// as it was last saved or loaded.
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ActiveFormControl.h"
#include "ActiveFormControlOleState.h"
#include "FormLoader.h"
#include "FormOwnProperties.h"
#include "FormReader.h"
#include "codepage.h"

namespace {

// The results an OLE control gives for state it cannot take.
constexpr HRESULT kInvalidFileFormat = static_cast<HRESULT>(0x800A0141u);     // CTL_E_INVALIDFILEFORMAT
constexpr HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017Cu);  // CTL_E_INVALIDPROPERTYVALUE
constexpr HRESULT kAlreadyInitialized = static_cast<HRESULT>(0x800401F1u);    // CO_E_ALREADYINITIALIZED

constexpr const OLECHAR* kStorageStreamName = u"CONTROLSAVESTREAM";

// The description of one form's own properties is a few hundred bytes; a
// count far beyond it is a forged or damaged stream, refused before any
// memory is set aside for it.
constexpr std::uint32_t kMaxStoredBytes = 1u << 20;

std::u16string Utf8ToOle(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::u16string text(static_cast<std::size_t>(std::max(length, 0)), u'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
  return text;
}

std::string OleToUtf8(const OLECHAR* text, UINT length) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
  }
  return utf8;
}

// The thread's error information for a refused load: which interface, the
// control's name and what was wrong (the reader names the line).
void SetLoadError(REFIID iid, const std::string& source, const std::string& message) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || !create) return;
  const std::u16string wideSource = Utf8ToOle(source);
  const std::u16string wideMessage = Utf8ToOle(message);
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(wideSource.c_str()));
  create->SetDescription(const_cast<LPOLESTR>(wideMessage.c_str()));
  IErrorInfo* error = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error))) && error) {
    SetErrorInfo(0, error);
    error->Release();
  }
  create->Release();
}

HRESULT WriteAll(IStream* stream, const void* data, ULONG size) {
  ULONG written = 0;
  HRESULT hr = stream->Write(data, size, &written);
  if (FAILED(hr)) return hr;
  return written == size ? S_OK : STG_E_MEDIUMFULL;
}

// S_FALSE when the stream ended first.
HRESULT ReadAll(IStream* stream, void* data, ULONG size) {
  ULONG read = 0;
  HRESULT hr = stream->Read(data, size, &read);
  if (FAILED(hr)) return hr;
  return read == size ? S_OK : S_FALSE;
}

// ---- property bag values ----

int IndexOf(const std::vector<const char*>& names, const std::string& name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (TComponentClass::Lower(names[i]) == TComponentClass::Lower(name)) return static_cast<int>(i);
  }
  return -1;
}

// A stored value as the bag keeps it: numbers, enumerations and sets as
// VT_I4, flags as VT_BOOL, texts as VT_BSTR.
HRESULT BagValue(const TOwnProperty& property, const TFormValue& value, VARIANT* out) {
  VariantInit(out);
  switch (property.Kind) {
    case TOwnPropertyKind::Boolean:
      out->vt = VT_BOOL;
      out->boolVal = value.Text == "True" ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case TOwnPropertyKind::Text: {
      const std::u16string text = Utf8ToOle(value.Text);
      out->vt = VT_BSTR;
      out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      return out->bstrVal || text.empty() ? S_OK : E_OUTOFMEMORY;
    }
    case TOwnPropertyKind::Enumeration:
      out->vt = VT_I4;
      out->lVal = value.Kind == TFormValueKind::Identifier ? IndexOf(property.Names, value.Text)
                                                           : static_cast<LONG>(value.Integer);
      return S_OK;
    case TOwnPropertyKind::Set: {
      LONG bits = 0;
      for (const std::string& name : value.Names) bits |= LONG{1} << IndexOf(property.Names, name);
      out->vt = VT_I4;
      out->lVal = bits;
      return S_OK;
    }
    case TOwnPropertyKind::Integer:
    case TOwnPropertyKind::Color:
      out->vt = VT_I4;
      out->lVal = static_cast<LONG>(value.Integer);
      return S_OK;
  }
  return E_UNEXPECTED;
}

VARTYPE BagType(TOwnPropertyKind kind) {
  switch (kind) {
    case TOwnPropertyKind::Boolean: return VT_BOOL;
    case TOwnPropertyKind::Text: return VT_BSTR;
    default: return VT_I4;
  }
}

// The stored value a bag's value (already of BagType) stands for; false for
// a set with bits that name nothing.
bool StoredValue(const TOwnProperty& property, const VARIANT& value, TFormValue* out) {
  switch (property.Kind) {
    case TOwnPropertyKind::Boolean:
      out->Kind = TFormValueKind::Identifier;
      out->Text = value.boolVal ? "True" : "False";
      return true;
    case TOwnPropertyKind::Text:
      out->Kind = TFormValueKind::String;
      out->Text = value.bstrVal ? OleToUtf8(value.bstrVal, SysStringLen(value.bstrVal)) : std::string();
      return true;
    case TOwnPropertyKind::Set: {
      out->Kind = TFormValueKind::Set;
      auto bits = static_cast<std::uint32_t>(value.lVal);
      for (std::size_t i = 0; i < property.Names.size(); ++i) {
        if (bits & (1u << i)) out->Names.emplace_back(property.Names[i]);
      }
      return (bits >> property.Names.size()) == 0;
    }
    default:
      out->Kind = TFormValueKind::Integer;
      out->Integer = value.lVal;
      return true;
  }
}

class TVariant {
 public:
  TVariant() { VariantInit(&v_); }
  ~TVariant() { VariantClear(&v_); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  VARIANT* operator&() { return &v_; }
  const VARIANT& Get() const { return v_; }

 private:
  VARIANT v_;
};

void LogBagError(IErrorLog* log, const std::u16string& name, HRESULT error) {
  if (!log) return;
  EXCEPINFO info{};
  info.scode = error;
  log->AddError(name.c_str(), &info);
}

}  // namespace

std::string TActiveFormControl::StoredClassName() const {
  const std::string name = form_->DescriptionName();
  return name.empty() ? form_->PropertyClassName() : name;
}

std::string TActiveFormControl::DescribeForm() const { return DescribeFormOwnProperties(*form_, StoredClassName()); }

void TActiveFormControl::MarkClean() {
  if (form_) Ole().Saved = DescribeForm();
}

bool TActiveFormControl::HasUnsavedChanges() { return form_ && Ole().Saved != DescribeForm(); }

HRESULT TActiveFormControl::SaveToStream(IStream* stream, BOOL clearDirty) {
  if (!form_) return E_UNEXPECTED;
  const std::string text = DescribeForm();
  const auto size = static_cast<std::uint32_t>(text.size());
  const unsigned char count[4] = {static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
                                  static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
  HRESULT hr = WriteAll(stream, count, sizeof count);
  if (SUCCEEDED(hr)) hr = WriteAll(stream, text.data(), size);
  if (FAILED(hr)) return hr;
  if (clearDirty) Ole().Saved = text;
  return S_OK;
}

HRESULT TActiveFormControl::LoadFromStream(IStream* stream) {
  if (!form_) return E_UNEXPECTED;
  ULARGE_INTEGER start{};
  LARGE_INTEGER here{};
  const bool canRewind = SUCCEEDED(stream->Seek(here, STREAM_SEEK_CUR, &start));
  auto refuse = [&](HRESULT result, const std::string& why) {
    if (canRewind) {
      LARGE_INTEGER back{};
      back.QuadPart = static_cast<LONGLONG>(start.QuadPart);
      stream->Seek(back, STREAM_SEEK_SET, nullptr);
    }
    if (!why.empty()) SetLoadError(IID_IPersistStreamInit, info_.ProgID, why);
    return result;
  };

  unsigned char count[4] = {};
  HRESULT hr = ReadAll(stream, count, sizeof count);
  if (FAILED(hr)) return refuse(hr, "");
  if (hr == S_FALSE) return refuse(kInvalidFileFormat, "Invalid file format: the stream ends before its length");
  const std::uint32_t size = count[0] | (count[1] << 8) | (count[2] << 16) | (std::uint32_t{count[3]} << 24);
  if (size > kMaxStoredBytes) return refuse(kInvalidFileFormat, "Invalid file format: length out of range");
  std::string text(size, '\0');
  hr = ReadAll(stream, text.data(), size);
  if (FAILED(hr)) return refuse(hr, "");
  if (hr == S_FALSE) return refuse(kInvalidFileFormat, "Invalid file format: the stream ends early");
  try {
    const TFormNode node = ParseFormDescription(text);
    TOleState& ole = Ole();
    // While in place, where the form sits is the host's to say.
    const RECT place{form_->Left(), form_->Top(), 0, 0};
    ApplyFormOwnProperties(*form_, StoredClassName(), node);
    if (ole.InPlaceActive) {
      PlaceForm(RECT{place.left, place.top, place.left + form_->Width(), place.top + form_->Height()});
    }
  } catch (const EReadError& e) {
    return refuse(kInvalidFileFormat, std::string("Invalid file format: ") + e.what());
  }
  MarkClean();
  form_->InvalidateArea(form_->ClientRect());
  NotifyViewChange();
  return S_OK;
}

// ---- IPersist ----

HRESULT TActiveFormControl::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = info_.ClassID;
  return S_OK;
}

HRESULT TActiveFormControl::IsDirty() {
  return OleGuarded([&] { return HasUnsavedChanges() ? S_OK : S_FALSE; });
}

HRESULT TActiveFormControl::InitNew() {
  return OleGuarded([&] {
    MarkClean();
    return S_OK;
  });
}

// ---- IPersistStreamInit ----

HRESULT TActiveFormControl::Load(LPSTREAM pStm) {
  if (!pStm) return E_POINTER;
  return OleGuarded([&] { return LoadFromStream(pStm); });
}

HRESULT TActiveFormControl::Save(LPSTREAM pStm, BOOL fClearDirty) {
  if (!pStm) return E_POINTER;
  return OleGuarded([&] { return SaveToStream(pStm, fClearDirty); });
}

HRESULT TActiveFormControl::GetSizeMax(ULARGE_INTEGER* pCbSize) {
  if (!pCbSize) return E_POINTER;
  if (!form_) return E_UNEXPECTED;
  return OleGuarded([&] {
    pCbSize->QuadPart = 4 + DescribeForm().size();
    return S_OK;
  });
}

// ---- IPersistStorage ----

HRESULT TActiveFormControl::InitNew(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  TOleState& ole = Ole();
  if (ole.StorageState != TStorageState::Uninitialized) return kAlreadyInitialized;
  return OleGuarded([&] {
    MarkClean();
    ole.Storage.Reset(pStg);
    ole.StorageState = TStorageState::Normal;
    return S_OK;
  });
}

HRESULT TActiveFormControl::Load(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  TOleState& ole = Ole();
  if (ole.StorageState != TStorageState::Uninitialized) return kAlreadyInitialized;
  IStream* stream = nullptr;
  HRESULT hr = pStg->OpenStream(kStorageStreamName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
  if (FAILED(hr)) return hr;
  TOleRef<IStream> held;
  held.Adopt(stream);
  hr = OleGuarded([&] { return LoadFromStream(stream); });
  if (FAILED(hr)) return hr;
  ole.Storage.Reset(pStg);
  ole.StorageState = TStorageState::Normal;
  return S_OK;
}

HRESULT TActiveFormControl::Save(IStorage* pStgSave, BOOL fSameAsLoad) {
  if (!pStgSave) return E_POINTER;
  TOleState& ole = Ole();
  // Without its storage (hands off) the object may save only into a new one.
  if (ole.StorageState == TStorageState::HandsOff && fSameAsLoad) return E_UNEXPECTED;
  IStream* stream = nullptr;
  HRESULT hr =
      pStgSave->CreateStream(kStorageStreamName, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
  if (FAILED(hr)) return hr;
  TOleRef<IStream> held;
  held.Adopt(stream);
  // Saving into the storage it was loaded from saves the document itself.
  hr = OleGuarded([&] { return SaveToStream(stream, fSameAsLoad); });
  if (FAILED(hr)) return hr;
  if (ole.StorageState != TStorageState::HandsOff) ole.StorageState = TStorageState::NoScribble;
  return S_OK;
}

HRESULT TActiveFormControl::SaveCompleted(IStorage* pStgNew) {
  TOleState& ole = Ole();
  if (ole.StorageState != TStorageState::NoScribble && ole.StorageState != TStorageState::HandsOff) {
    return E_UNEXPECTED;
  }
  // Out of hands-off mode only with a storage to hold.
  if (ole.StorageState == TStorageState::HandsOff && !pStgNew) return E_UNEXPECTED;
  if (pStgNew) ole.Storage.Reset(pStgNew);
  ole.StorageState = TStorageState::Normal;
  std::vector<std::pair<DWORD, IAdviseSink*>> sinks = ole.OleAdvise;
  for (auto& [cookie, sink] : sinks) sink->AddRef();
  for (auto& [cookie, sink] : sinks) sink->OnSave();
  for (auto& [cookie, sink] : sinks) sink->Release();
  return S_OK;
}

HRESULT TActiveFormControl::HandsOffStorage() {
  TOleState& ole = Ole();
  ole.Storage.Reset(nullptr);
  ole.StorageState = TStorageState::HandsOff;
  return S_OK;
}

// ---- IPersistPropertyBag ----

HRESULT TActiveFormControl::Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) {
  if (!pPropBag) return E_POINTER;
  if (!form_) return E_UNEXPECTED;
  return OleGuarded([&]() -> HRESULT {
    TFormNode node;
    node.Name = form_->Name();
    node.ClassName = StoredClassName();
    for (const TOwnProperty& property : FormOwnProperties()) {
      const std::u16string name = Utf8ToOle(property.Name);
      TVariant read;
      HRESULT hr = pPropBag->Read(name.c_str(), &read, pErrorLog);
      // Absent from the bag: the property keeps its value.
      if (hr == E_INVALIDARG) continue;
      if (FAILED(hr)) return hr;
      TVariant typed;
      hr = VariantChangeType(&typed, &read.Get(), 0, BagType(property.Kind));
      TFormValue value;
      if (SUCCEEDED(hr) && !StoredValue(property, typed.Get(), &value)) hr = kInvalidPropertyValue;
      if (FAILED(hr)) {
        LogBagError(pErrorLog, name, hr);
        return hr;
      }
      node.Properties.push_back(TFormProperty{property.Name, std::move(value), 0});
    }
    try {
      ApplyFormOwnProperties(*form_, StoredClassName(), node);
    } catch (const EReadError& e) {
      SetLoadError(IID_IPersistPropertyBag, info_.ProgID, e.what());
      return kInvalidPropertyValue;
    }
    MarkClean();
    form_->InvalidateArea(form_->ClientRect());
    NotifyViewChange();
    return S_OK;
  });
}

HRESULT TActiveFormControl::Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL) {
  if (!pPropBag) return E_POINTER;
  if (!form_) return E_UNEXPECTED;
  // Every property is written whatever fSaveAllProperties says: none has a
  // default a reader could fall back to.
  return OleGuarded([&]() -> HRESULT {
    const std::vector<TFormProperty> values = ReadFormOwnProperties(*form_);
    const auto& properties = FormOwnProperties();
    for (std::size_t i = 0; i < properties.size(); ++i) {
      TVariant value;
      HRESULT hr = BagValue(properties[i], values[i].Value, &value);
      if (SUCCEEDED(hr)) hr = pPropBag->Write(Utf8ToOle(properties[i].Name).c_str(), &value);
      if (FAILED(hr)) return hr;
    }
    if (fClearDirty) MarkClean();
    return S_OK;
  });
}
