// Forms: one platform window each, holding windowless controls that the form
// paints into its surface and hit-tests input for. A form is filled from its
// stored description (resource named after the class in upper case), with
// handlers and fields found by name in the tables its class registers.
#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <windows.h>

#include "Controls.h"

class TButton;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderIcons = unsigned;
constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8;
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TPrintScale { poNone, poProportional, poPrintToFit };
enum THelpType { htKeyword, htContext };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

// An operation that is not allowed in the form's present state.
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  // Fills the form from its stored description (when DescriptionName is not
  // empty), then runs the creation event. Called once, right after the
  // constructor: NewForm and TApplication::CreateForm do it.
  void InitForm();
  // Applies a description text to this form (its root object is the form).
  void LoadFromDescription(std::string_view text);
  // The resource that holds the description; empty for forms built in code.
  virtual std::string DescriptionName() const { return {}; }
  // The class whose property table applies to the root object.
  virtual const char* PropertyClassName() const { return "TForm"; }

  // Handler table: a member function bound by its name in the description.
  template <class F, class... A>
  void RegisterHandler(const std::string& name, void (F::*method)(A...)) {
    F* self = static_cast<F*>(this);
    handlers_[name] = std::function<void(A...)>([self, method](A... args) { (self->*method)(args...); });
  }
  void RegisterHandlerFunction(const std::string& name, std::any function) { handlers_[name] = std::move(function); }
  const std::any* FindHandler(const std::string& name) const;
  // Field table: the component of that name is stored in the field.
  template <class T>
  void RegisterField(const std::string& name, T*& field) {
    fields_[name] = [&field](TComponent* c) {
      auto* typed = dynamic_cast<T*>(c);
      if (!typed) return false;
      field = typed;
      return true;
    };
  }
  // False when the form has a field of that name of another type.
  bool AssignField(const std::string& name, TComponent* component);

  TFormBorderStyle BorderStyle = bsSizeable;
  TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition Position = poDesigned;
  bool KeyPreview = false;
  bool AutoSize = false;
  bool AutoScroll = false;
  bool Scaled = true;
  int PixelsPerInch = 96;
  TPrintScale PrintScale = poProportional;
  bool DropTarget = false;
  bool DoubleBuffered = false;
  std::string HelpFile;
  THelpType HelpType = htContext;
  std::string HelpKeyword;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyDown;
  TCloseEvent OnClose;

  void SetClientWidth(int value) { SetWidth(value); }
  void SetClientHeight(int value) { SetHeight(value); }

  // Shows the form (its show event runs before the first paint) and makes it
  // the active form.
  void Show();
  void Hide();
  // Runs the close event; a modal form ends its loop with mrCancel, the main
  // form ends the application.
  void Close();
  // Shows the form and handles messages until ModalResult is set; returns it.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  bool IsModal() const { return modal_; }
  bool Active() const { return active_; }

  TControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TControl* control);
  // Focus to the next (or previous) control that takes focus, in tab order.
  void SelectNext(bool forward);

  // The platform window, made on first use.
  HWND Handle();
  bool HandleAllocated() const { return hwnd_ != nullptr; }

  // Painting: the update area collects invalidated rectangles (form client
  // coordinates) until WM_PAINT; PaintArea paints at once.
  void InvalidateArea(const TRect& r);
  void PaintArea(const TRect& r);
  // The form's current look: every control painted into an in-memory surface.
  std::unique_ptr<TSurface> PaintToSurface();
  bool SaveScreenshot(const std::string& path);
  // The form's pixels as the display shows them (0x00RRGGBB, row after
  // row); false without a display.
  bool CaptureFromDisplay(std::vector<std::uint32_t>& pixels);

  // The form's window procedure; input arrives here as queue messages. A form
  // that a control object hosts passes them through the control first.
  virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

  // Shows the control's drop-down part over the form (form coordinates) until
  // a click lands or ClosePopup runs.
  void OpenPopup(TControl* owner, const TRect& area);
  void ClosePopup();
  TControl* PopupOwner() const { return popupOwner_; }

  // Frees the platform window (it is made again on the next use).
  void DestroyHandle();

  // Called by a control being destroyed so the form forgets it.
  void ControlDestroying(TControl* control);

 protected:
  void PaintControl(TCanvas& canvas) override;
  void Resized() override;
  void TextChanged() override;
  void Loaded() override;
  // With AutoSize, the form's client area shrinks or grows to its controls.
  void AdjustToControls();
  virtual void DoCreate();
  virtual void DoShow();
  virtual void Activate();
  virtual void Deactivate();
  // Where the top-level window goes when shown: the position rules.
  virtual TPoint ShownPosition() const;
  // The window the form's window is a child of; nullptr for a top-level form.
  virtual HWND ParentWindowHandle() const { return nullptr; }

 private:
  void HandleMouse(UINT message, WPARAM wParam, LPARAM lParam);
  void HandleKeyDown(unsigned short key);
  void HandleChar(char key);
  void UpdateHover(TControl* control, TPoint formPoint);
  void ShowCursorOf(TControl* control);
  TButton* FindButton(bool defaultButton) const;
  void SelectFirst();
  void EnsureSurface();
  void AnswerUnattended();

  std::map<std::string, std::any> handlers_;
  std::map<std::string, std::function<bool(TComponent*)>> fields_;
  HWND hwnd_ = nullptr;
  std::unique_ptr<TSurface> surface_;
  TRect updateArea_;
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  bool active_ = false;
  bool destroyFired_ = false;
  bool keyHandledByButton_ = false;
  TControl* activeControl_ = nullptr;
  TControl* captured_ = nullptr;
  TControl* hovered_ = nullptr;
  TControl* popupOwner_ = nullptr;
  TRect popupRect_;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

// Makes a form of class T and fills it from its description; the form is
// freed again when that fails. Memory exhaustion leaves as EOutOfMemory.
template <class T>
T* NewForm(TComponent* owner) {
  return TranslateOutOfMemory([owner] {
    auto* form = new T(owner);
    try {
      form->InitForm();
    } catch (...) {
      delete form;
      throw;
    }
    return form;
  });
}

// Answers modal forms and message boxes in tests: called once a modal form
// is showing, before its loop starts. It may post input to the form or set
// its ModalResult. With no responder, a modal form shown without a display
// writes its caption and texts to standard error and is answered with its
// default button (mrCancel without one), so nothing waits for a person.
using TModalResponder = std::function<void(TCustomForm& form)>;
void SetModalResponder(TModalResponder responder);
