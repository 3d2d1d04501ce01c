// The control's state saved and loaded by a host through a stream, a
// compound file and a property bag; the unsaved-changes flag; and streams
// that are cut short or forged, which are refused with nothing changed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FormOwnProperties.h"
#include "OleTestHost.h"
#include "TestSupport.h"
#include "globalmem.h"

namespace {

using namespace qorv::test::ole;

constexpr HRESULT kInvalidFileFormat = static_cast<HRESULT>(0x800A0141u);
constexpr HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017Cu);
constexpr HRESULT kAlreadyInitialized = static_cast<HRESULT>(0x800401F1u);

TRef<IStream> NewStream() {
  IStream* stream = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  return TRef<IStream>(stream);
}

std::string StreamBytes(IStream* stream) {
  HGLOBAL block = nullptr;
  EXPECT_EQ(GetHGlobalFromStream(stream, &block), S_OK);
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::string bytes(static_cast<const char*>(GlobalLock(block)), static_cast<std::size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(block);
  return bytes;
}

TRef<IStream> StreamOf(const std::string& bytes) {
  auto stream = NewStream();
  ULONG written = 0;
  stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

// The saved form of a description text: its byte count, then the text.
std::string Framed(const std::string& text) {
  const auto size = static_cast<std::uint32_t>(text.size());
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &size, 4);
  return bytes + text;
}

ULONGLONG Position(IStream* stream) {
  LARGE_INTEGER none{};
  ULARGE_INTEGER at{};
  stream->Seek(none, STREAM_SEEK_CUR, &at);
  return at.QuadPart;
}

std::string ErrorDescription() {
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) != S_OK || !error) return {};
  BSTR text = nullptr;
  error->GetDescription(&text);
  std::string description;
  for (UINT i = 0; i < SysStringLen(text); ++i) description += static_cast<char>(text[i]);
  SysFreeString(text);
  error->Release();
  return description;
}

class ActiveFormControlPersistence : public OleHostTest {
 protected:
  std::string State(TSitedForm* of) { return DescribeFormOwnProperties(*of, "TActiveForm"); }

  // Changes a property of every kind on the form.
  static void ChangeEverything(TSitedForm* f) {
    f->SetCaption("It's\r\nchanged");
    f->SetColor(0x00336699);
    f->SetBounds(3, 4, 150, 70);
    f->Font().SetName("DejaVu Sans");
    f->Font().SetHeight(-14);
    f->Font().SetStyle(fsBold | fsUnderline);
    f->KeyPreview = true;
    f->AxBorderStyle = afbSunken;
    f->HelpType = htKeyword;
    f->HelpKeyword = "recorder";
    f->Cursor = -3;
  }
};

TEST_F(ActiveFormControlPersistence, AStreamCarriesTheFormsOwnPropertiesToAnotherControl) {
  auto first = Create();
  TSitedForm* firstForm = form;
  ChangeEverything(firstForm);
  firstForm->Label1->SetCaption("Not kept");
  auto stream = NewStream();
  ASSERT_EQ(As<IPersistStreamInit>(first, IID_IPersistStreamInit)->Save(stream.get(), TRUE), S_OK);
  ULARGE_INTEGER size{};
  ASSERT_EQ(As<IPersistStreamInit>(first, IID_IPersistStreamInit)->GetSizeMax(&size), S_OK);
  EXPECT_EQ(size.QuadPart, StreamBytes(stream.get()).size());

  auto second = Create();
  TSitedForm* secondForm = form;
  ASSERT_NE(State(secondForm), State(firstForm));
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(As<IPersistStreamInit>(second, IID_IPersistStreamInit)->Load(stream.get()), S_OK);
  EXPECT_EQ(State(secondForm), State(firstForm));
  EXPECT_EQ(secondForm->Caption(), "It's\r\nchanged");
  EXPECT_EQ(secondForm->Font().Style, fsBold | fsUnderline);
  EXPECT_EQ(secondForm->AxBorderStyle, afbSunken);
  EXPECT_EQ(secondForm->Width(), 150);
  EXPECT_EQ(secondForm->Label1->Caption(), "Label") << "child components are not the control's state";
  EXPECT_EQ(secondForm->Name(), "SitedForm");
}

TEST_F(ActiveFormControlPersistence, ControlsSavedOneAfterAnotherInOneStreamLoadBackInOrder) {
  auto first = Create();
  form->SetCaption("first");
  auto second = Create();
  form->SetCaption("second");
  auto stream = NewStream();
  ASSERT_EQ(As<IPersistStreamInit>(first, IID_IPersistStreamInit)->Save(stream.get(), FALSE), S_OK);
  ASSERT_EQ(As<IPersistStreamInit>(second, IID_IPersistStreamInit)->Save(stream.get(), FALSE), S_OK);

  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  auto a = Create();
  TSitedForm* aForm = form;
  auto b = Create();
  TSitedForm* bForm = form;
  ASSERT_EQ(As<IPersistStreamInit>(a, IID_IPersistStreamInit)->Load(stream.get()), S_OK);
  ASSERT_EQ(As<IPersistStreamInit>(b, IID_IPersistStreamInit)->Load(stream.get()), S_OK);
  EXPECT_EQ(aForm->Caption(), "first");
  EXPECT_EQ(bForm->Caption(), "second");
}

TEST_F(ActiveFormControlPersistence, UnsavedChangesAreClearedByLoadAndByASaveThatIsAskedTo) {
  auto control = Create();
  auto persist = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
  ASSERT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  form->SetCaption("changed");
  EXPECT_EQ(persist->IsDirty(), S_OK);
  EXPECT_EQ(As<IPersistStorage>(control, IID_IPersistStorage)->IsDirty(), S_OK) << "one flag for both";

  auto stream = NewStream();
  ASSERT_EQ(persist->Save(stream.get(), FALSE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK) << "saved a copy, not the document";
  ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);

  SIZEL bigger{5080, 5080};
  As<IOleObject>(control, IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &bigger);
  EXPECT_EQ(persist->IsDirty(), S_OK) << "resizing through the host changes the state too";
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(persist->Load(stream.get()), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  EXPECT_EQ(form->Width(), 120) << "the first saved copy, from before the resize";
}

TEST_F(ActiveFormControlPersistence, AStreamCutShortAnywhereIsRefusedAndChangesNothing) {
  auto source = Create();
  ChangeEverything(form);
  auto saved = NewStream();
  ASSERT_EQ(As<IPersistStreamInit>(source, IID_IPersistStreamInit)->Save(saved.get(), FALSE), S_OK);
  const std::string bytes = StreamBytes(saved.get());

  auto control = Create();
  auto persist = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
  const std::string before = State(form);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    auto cut = StreamOf(bytes.substr(0, length));
    ASSERT_EQ(persist->Load(cut.get()), kInvalidFileFormat) << "cut at " << length;
    ASSERT_EQ(State(form), before) << "cut at " << length;
    ASSERT_EQ(Position(cut.get()), 0u) << "the stream is left where it was";
  }
  // A stream whose end was lost inside the text, with the count still whole.
  std::string lostEnd = bytes.substr(0, bytes.size() - 5);
  auto shorter = StreamOf(Framed(lostEnd.substr(4)));
  EXPECT_EQ(persist->Load(shorter.get()), kInvalidFileFormat);
  EXPECT_NE(ErrorDescription().find("Invalid file format"), std::string::npos);
  EXPECT_EQ(State(form), before);
}

TEST_F(ActiveFormControlPersistence, ForgedStreamsAreRefusedWithTheReasonAndNothingChanged) {
  auto control = Create();
  auto persist = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
  form->Label1->SetCaption("Label");
  const std::string before = State(form);
  const struct {
    const char* why;
    std::string text;
    const char* reason;
  } forged[] = {
      {"a child object", "object X: TActiveForm\n  Width = 10\n  object L: TLabel\n  end\nend\n", "L"},
      {"a handler binding", "object X: TActiveForm\n  OnDestroy = SomeHandler\nend\n", "OnDestroy"},
      {"a property not kept", "object X: TActiveForm\n  Name = 'Other'\nend\n", "Name"},
      {"another class", "object X: TLabel\n  Width = 10\nend\n", "TLabel"},
      {"a bad value after good ones", "object X: TActiveForm\n  Width = 10\n  Caption = 'x'\n  Color = 'red'\nend\n",
       "Color"},
      {"an out-of-range value", "object X: TActiveForm\n  Width = 10\n  PixelsPerInch = 0\nend\n", "PixelsPerInch"},
      {"no end", "object X: TActiveForm\n  Width = 10\n", ""},
      {"not a description", std::string("\x01\x02\x03 binary", 10), ""},
  };
  for (const auto& f : forged) {
    auto stream = StreamOf(Framed(f.text));
    EXPECT_EQ(persist->Load(stream.get()), kInvalidFileFormat) << f.why;
    EXPECT_NE(ErrorDescription().find(f.reason), std::string::npos) << f.why;
    EXPECT_EQ(State(form), before) << f.why;
    EXPECT_EQ(form->Width(), 120) << f.why;
    EXPECT_EQ(form->Label1->Caption(), "Label") << f.why;
    EXPECT_EQ(form->ComponentCount(), 1) << f.why << ": no component was made";
  }
  // A count far beyond anything the control writes is refused before it is
  // believed.
  std::string huge("\xFF\xFF\xFF\x7F", 4);
  auto stream = StreamOf(huge + "object X: TActiveForm\nend\n");
  EXPECT_EQ(persist->Load(stream.get()), kInvalidFileFormat);
  EXPECT_EQ(State(form), before);
  EXPECT_EQ(persist->Load(static_cast<IStream*>(nullptr)), E_POINTER);
}

TEST_F(ActiveFormControlPersistence, ACompoundFileKeepsTheStateInItsControlStream) {
  qorv::test::TempDir folder;
  const std::string path = (folder.Path() / "control.stg").string();
  const std::u16string widePath(path.begin(), path.end());
  auto first = Create();
  ChangeEverything(form);
  const std::string saved = State(form);
  {
    IStorage* storage = nullptr;
    ASSERT_EQ(StgCreateDocfile(widePath.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage),
              S_OK);
    TRef<IStorage> held(storage);
    auto persist = As<IPersistStorage>(first, IID_IPersistStorage);
    ASSERT_EQ(persist->InitNew(storage), S_OK);
    EXPECT_EQ(persist->InitNew(storage), kAlreadyInitialized);
    form->SetCaption("It's\r\nchanged");
    ASSERT_EQ(persist->Save(storage, TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_EQ(persist->SaveCompleted(nullptr), S_OK);
    EXPECT_EQ(persist->SaveCompleted(nullptr), E_UNEXPECTED) << "only after a save";
    ASSERT_EQ(persist->HandsOffStorage(), S_OK);
    EXPECT_EQ(persist->Save(storage, TRUE), E_UNEXPECTED) << "hands off its own storage";
    EXPECT_EQ(persist->SaveCompleted(nullptr), E_UNEXPECTED) << "a storage is needed to go on";
    ASSERT_EQ(persist->SaveCompleted(storage), S_OK);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  }
  IStorage* storage = nullptr;
  ASSERT_EQ(StgOpenStorage(widePath.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage), S_OK);
  TRef<IStorage> held(storage);
  IStream* stream = nullptr;
  ASSERT_EQ(storage->OpenStream(u"CONTROLSAVESTREAM", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream), S_OK);
  stream->Release();

  auto second = Create();
  auto persist = As<IPersistStorage>(second, IID_IPersistStorage);
  ASSERT_EQ(persist->Load(storage), S_OK);
  EXPECT_EQ(State(form), saved);
  EXPECT_EQ(persist->Load(storage), kAlreadyInitialized);
}

TEST_F(ActiveFormControlPersistence, AStorageWithoutTheControlStreamIsRefused) {
  qorv::test::TempDir folder;
  const std::string path = (folder.Path() / "empty.stg").string();
  const std::u16string widePath(path.begin(), path.end());
  IStorage* storage = nullptr;
  ASSERT_EQ(StgCreateDocfile(widePath.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage), S_OK);
  TRef<IStorage> held(storage);
  auto control = Create();
  const std::string before = State(form);
  auto persist = As<IPersistStorage>(control, IID_IPersistStorage);
  EXPECT_EQ(persist->Load(storage), STG_E_FILENOTFOUND);
  EXPECT_EQ(State(form), before);
  EXPECT_EQ(persist->InitNew(storage), S_OK) << "a refused load leaves the object uninitialised";
}

TEST_F(ActiveFormControlPersistence, APropertyBagCarriesThePropertiesByName) {
  auto first = Create();
  ChangeEverything(form);
  const std::string saved = State(form);
  TTestPropertyBag bag;
  ASSERT_EQ(As<IPersistPropertyBag>(first, IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE), S_OK);
  ASSERT_TRUE(bag.Values.count(u"Caption"));
  EXPECT_EQ(bag.Values[u"Caption"].vt, VT_BSTR);
  EXPECT_EQ(bag.Values[u"KeyPreview"].vt, VT_BOOL);
  EXPECT_EQ(bag.Values[u"Width"].lVal, 150);
  EXPECT_FALSE(bag.Values.count(u"Label1.Caption"));

  auto second = Create();
  ASSERT_EQ(As<IPersistPropertyBag>(second, IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
  EXPECT_EQ(State(form), saved);
  EXPECT_EQ(bag.References(), 1);
}

TEST_F(ActiveFormControlPersistence, ABagOfTextValuesAsAWebPageGivesThemIsConverted) {
  auto control = Create();
  TTestPropertyBag bag;
  bag.SetText(u"Width", u"200");
  bag.SetText(u"KeyPreview", u"True");
  bag.SetText(u"Caption", u"From the page");
  ASSERT_EQ(As<IPersistPropertyBag>(control, IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
  EXPECT_EQ(form->Width(), 200);
  EXPECT_TRUE(form->KeyPreview);
  EXPECT_EQ(form->Caption(), "From the page");
  EXPECT_EQ(form->Height(), 90) << "what the bag does not hold stays";
}

TEST_F(ActiveFormControlPersistence, ABagValueThatCannotBeTakenIsLoggedAndNothingChanges) {
  auto control = Create();
  auto persist = As<IPersistPropertyBag>(control, IID_IPersistPropertyBag);
  const std::string before = State(form);
  TTestErrorLog log;
  TTestPropertyBag bag;
  bag.SetText(u"Width", u"200");
  bag.SetText(u"Scaled", u"perhaps");
  EXPECT_EQ(persist->Load(&bag, &log), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(log.Errors.size(), 1u);
  EXPECT_EQ(log.Errors[0].first, u"Scaled");
  EXPECT_EQ(State(form), before);

  TTestPropertyBag outOfRange;
  outOfRange.SetText(u"Width", u"200");
  outOfRange.SetText(u"PrintScale", u"9");
  EXPECT_EQ(persist->Load(&outOfRange, nullptr), kInvalidPropertyValue);
  EXPECT_EQ(State(form), before) << "the width went in and came out again";

  TTestPropertyBag badSet;
  badSet.SetText(u"Font.Style", u"64");
  EXPECT_EQ(persist->Load(&badSet, nullptr), kInvalidPropertyValue);
  EXPECT_EQ(State(form), before);
}

}  // namespace
