// The active-form class factory against a real server module (the COM test
// server, whose embedded type library has one control class): what it reads
// from the type information, the load failures that name the control class,
// and a creation that fails while the form is built.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ActiveFormFactory.h"
#include "Application.h"
#include "ComObj.h"
#include "ComServer.h"
#include "Dialogs.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "fileapi.h"

namespace {

// {5C1F6A34-2B7D-4E55-9A41-0C8D3E6B7A10}, the class of the test server.
constexpr CLSID kTestObject{0x5C1F6A34, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
// {5C1F6A32-...}: its dual interface; {5C1F6A33-...}: its events.
constexpr IID kTestInterface{0x5C1F6A32, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
constexpr IID kTestEvents{0x5C1F6A33, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};

class ActiveFormFactory : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    module_ = LoadLibraryA(QORV_TEST_SERVER);
    ASSERT_NE(module_, nullptr);
    server_ = std::make_unique<TComServer>(module_);
  }
  void TearDown() override {
    SetModalResponder(nullptr);
    server_.reset();
    if (module_) FreeLibrary(module_);
    HeadlessGuiTest::TearDown();
  }

  TActiveFormFactoryRecord Record() {
    TActiveFormFactoryRecord record;
    record.ClassID = kTestObject;
    record.FormClassName = "TTestForm";
    record.ControlClassName = "TActiveFormControl";
    record.MiscStatus = 0x12000;
    record.Verbs = {{0, "Properties"}};
    record.FormInterfaces = {kTestInterface};
    return record;
  }

  std::string LoadFailure(const TActiveFormFactoryRecord& record) {
    try {
      TActiveFormFactory factory(*server_, record);
    } catch (const EOleError& e) {
      return e.Message();
    }
    return "<no failure>";
  }

  HMODULE module_ = nullptr;
  std::unique_ptr<TComServer> server_;
};

}  // namespace

// Name and description come from the coclass, the ProgID from the library's
// name, the interfaces from its default and default source, and the status
// gets the bits every control has.
TEST_F(ActiveFormFactory, ReadsTheClassFromItsTypeInformation) {
  TActiveFormFactory factory(*server_, Record());
  EXPECT_EQ(factory.ClassName(), "TestObject");
  EXPECT_EQ(factory.Description(), "Test Object");
  EXPECT_EQ(factory.ProgID(), "QorvTestLib.TestObject");
  EXPECT_EQ(factory.Info().DispatchIID, kTestInterface);
  EXPECT_EQ(factory.Info().EventIID, kTestEvents);
  EXPECT_EQ(factory.MiscStatus(), 0x32191u);
  EXPECT_NE(factory.Info().DispatchTypeInfo, nullptr);
  EXPECT_EQ(factory.Info().LiveObjects, server_->LiveObjectCounter());
}

// A class the type library lacks, and a form that does not implement the
// class's interface, stop the load with a message naming the control class.
TEST_F(ActiveFormFactory, LoadFailuresNameTheControlClass) {
  TActiveFormFactoryRecord unknown = Record();
  unknown.ClassID = kTestEvents;
  EXPECT_EQ(LoadFailure(unknown), "Type information missing for class TActiveFormControl") << "an interface's GUID";
  unknown.ClassID = {0x5C1F6AFF, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
  EXPECT_EQ(LoadFailure(unknown), "Type information missing for class TActiveFormControl") << "a GUID of nothing";
  TActiveFormFactoryRecord formless = Record();
  formless.FormInterfaces.clear();
  EXPECT_EQ(LoadFailure(formless), "Dispatch interface missing from class TActiveFormControl");
}

// A form that cannot be built: the message goes to an error box (with a
// period when it ends in a character after one), the caller gets
// E_UNEXPECTED and a null pointer, and no object is left counted.
TEST_F(ActiveFormFactory, FailedCreationShowsTheErrorAndAnswersUnexpected) {
  std::string message;
  TActiveFormFactoryRecord record = Record();
  record.CreateForm = [&]() -> TActiveForm* { throw Exception(message); };
  TActiveFormFactory factory(*server_, record);
  std::string shown;
  SetModalResponder([&](TCustomForm& box) {
    for (int i = 0; i < box.ComponentCount(); ++i) {
      if (auto* label = dynamic_cast<TLabel*>(box.Components(i))) shown = label->Caption();
    }
    box.SetModalResult(mrOk);
  });
  const std::pair<std::string, std::string> cases[] = {
      {"The form broke", "The form broke."}, {"Stop!", "Stop!"}, {"Done.", "Done."}};
  for (const auto& [raised, expected] : cases) {
    message = raised;
    shown.clear();
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, &object), E_UNEXPECTED) << raised;
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(shown, expected);
  }
  EXPECT_EQ(server_->ObjectCount(), 0);
  EXPECT_EQ(server_->CanUnloadNow(), S_OK);
}

// Locks count as live objects; factory references are counted apart and
// never free the factory, which lives as long as its server.
TEST_F(ActiveFormFactory, LocksAndReferencesKeepTheServer) {
  TActiveFormFactory factory(*server_, Record());
  EXPECT_EQ(factory.AddRef(), 1u);
  EXPECT_EQ(server_->CanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory.Release(), 0u);
  EXPECT_EQ(server_->CanUnloadNow(), S_OK);
  EXPECT_EQ(factory.LockServer(TRUE), S_OK);
  EXPECT_EQ(server_->ObjectCount(), 1);
  EXPECT_EQ(server_->CanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory.LockServer(FALSE), S_OK);
  EXPECT_EQ(server_->CanUnloadNow(), S_OK);
}
