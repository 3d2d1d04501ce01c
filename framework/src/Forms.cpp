#include "Forms.h"

#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <mutex>

#include "AnsiStrings.h"
#include "Application.h"
#include "Button.h"
#include "ChildWindows.h"
#include "Fonts.h"
#include "FormLoader.h"
#include "FormReader.h"
#include "GuiBackend.h"
#include "Label.h"
#include "ModulePin.h"

using qorv::framework::Backend;

namespace {

// Posted to a form that asked to be freed once its current message is done.
constexpr UINT CM_RELEASE = WM_APP + 0x3F01;

TModalResponder& Responder() {
  static TModalResponder responder;
  return responder;
}

LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<TCustomForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
  // Nothing may unwind into the platform's message loop: failures go to the
  // application's exception display.
  try {
    return form->WndProc(message, wParam, lParam);
  } catch (const std::exception& e) {
    Application->HandleException(e);
  } catch (...) {
    Application->HandleException(Exception("Unknown exception"));
  }
  return 0;
}

// The class name carries the procedure's address: each module that links the
// framework registers a class of its own.
const char* FormClassName() {
  static std::string name = [] {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "QorvFramework.Form.%p", reinterpret_cast<void*>(&FormWindowProc));
    return std::string(buffer);
  }();
  return name.c_str();
}

void RegisterFormClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The platform keeps the class and its procedure, an address inside this
    // module, for the rest of the process.
    qorv::framework::KeepThisModuleLoaded();
    WNDCLASSA wc{};
    wc.lpfnWndProc = FormWindowProc;
    wc.lpszClassName = FormClassName();
    wc.style = CS_DBLCLKS;
    wc.cbWndExtra = qorv::framework::kMouseRouteBytes;
    RegisterClassA(&wc);
  });
}

TShiftState ShiftFromMouseKeys(WPARAM keys) {
  TShiftState shift = 0;
  if (keys & MK_SHIFT) shift |= ssShift;
  if (keys & MK_CONTROL) shift |= ssCtrl;
  if (keys & MK_LBUTTON) shift |= ssLeft;
  if (keys & MK_RBUTTON) shift |= ssRight;
  if (keys & MK_MBUTTON) shift |= ssMiddle;
  return shift;
}

TShiftState KeyboardShift() {
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) & 0x8000) shift |= ssShift;
  if (GetKeyState(VK_CONTROL) & 0x8000) shift |= ssCtrl;
  if (GetKeyState(VK_MENU) & 0x8000) shift |= ssAlt;
  return shift;
}

void CollectTexts(const TWinControl& container, std::string& out) {
  for (int i = 0; i < container.ControlCount(); ++i) {
    TControl* c = container.Controls(i);
    if (!c->Visible()) continue;
    if (dynamic_cast<TLabel*>(c) && !c->Caption().empty()) out += "\n" + AnsiToUtf8(c->Caption());
    if (auto* wc = dynamic_cast<TWinControl*>(c)) CollectTexts(*wc, out);
  }
}

void CollectFocusable(TWinControl& container, std::vector<TControl*>& out) {
  std::vector<TControl*> children;
  for (int i = 0; i < container.ControlCount(); ++i) children.push_back(container.Controls(i));
  std::stable_sort(children.begin(), children.end(), [](TControl* a, TControl* b) {
    auto* wa = dynamic_cast<TWinControl*>(a);
    auto* wb = dynamic_cast<TWinControl*>(b);
    return (wa ? wa->TabOrder : 0) < (wb ? wb->TabOrder : 0);
  });
  for (TControl* c : children) {
    if (!c->Visible() || !c->Enabled()) continue;
    if (c->CanFocus()) out.push_back(c);
    if (auto* wc = dynamic_cast<TWinControl*>(c)) CollectFocusable(*wc, out);
  }
}

}  // namespace

void SetModalResponder(TModalResponder responder) { Responder() = std::move(responder); }

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetParentFont(false);
  SetParentColor(false);
  SetParentBiDiMode(false);
  SetBounds(0, 0, 320, 240);
  Application->AddForm(this);
}

TCustomForm::~TCustomForm() {
  if (!destroyFired_) {
    destroyFired_ = true;
    if (OnDestroy) {
      try {
        OnDestroy(this);
      } catch (const std::exception& e) {
        Application->HandleException(e);
      }
    }
  }
  Application->RemoveForm(this);
  DestroyHandle();
}

void TCustomForm::DestroyHandle() {
  if (!hwnd_) return;
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  Backend().Detach(hwnd_);
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

void TCustomForm::InitForm() {
  std::string name = DescriptionName();
  if (!name.empty()) {
    HMODULE module = qorv::platform::ModuleFromAddress(reinterpret_cast<const void*>(&FormWindowProc));
    HRSRC resource = FindResourceA(module, name.c_str(), RT_RCDATA);
    if (!resource) throw EResNotFound("Resource " + name + " not found");
    HGLOBAL loaded = LoadResource(module, resource);
    const char* data = static_cast<const char*>(LockResource(loaded));
    DWORD size = SizeofResource(module, resource);
    if (!data) throw EResNotFound("Resource " + name + " not found");
    LoadFromDescription(std::string_view(data, size));
  }
  DoCreate();
}

void TCustomForm::LoadFromDescription(std::string_view text) {
  TFormNode root = ParseFormDescription(text);
  ApplyFormDescription(*this, root);
}

const std::any* TCustomForm::FindHandler(const std::string& name) const {
  auto it = handlers_.find(name);
  return it == handlers_.end() ? nullptr : &it->second;
}

bool TCustomForm::AssignField(const std::string& name, TComponent* component) {
  auto it = fields_.find(name);
  if (it == fields_.end()) return true;
  return it->second(component);
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

HWND TCustomForm::Handle() {
  if (hwnd_) return hwnd_;
  RegisterFormClass();
  HWND parent = ParentWindowHandle();
  DWORD style = BorderStyle == bsNone ? WS_POPUP : WS_OVERLAPPED | WS_CAPTION;
  if (BorderIcons & biSystemMenu) style |= WS_SYSMENU;
  if (parent) style = WS_CHILD;
  HWND hwnd = CreateWindowExA(0, FormClassName(), Caption().c_str(), style, Left(), Top(), Width(), Height(), parent,
                              nullptr, nullptr, this);
  if (!hwnd) throw EInvalidOperation("Error creating window for " + Name());
  hwnd_ = hwnd;
  // Child windows (a sited or parked active form) are shown by their host.
  if (!parent) Backend().Attach(*this, hwnd_, AnsiToUtf8(Caption()), BorderStyle != bsNone);
  return hwnd_;
}

TPoint TCustomForm::ShownPosition() const {
  if (Position == poScreenCenter || Position == poDesktopCenter || Position == poMainFormCenter ||
      Position == poOwnerFormCenter) {
    TRect screen = Backend().ScreenRect();
    return {screen.Left + (screen.Width() - Width()) / 2, screen.Top + (screen.Height() - Height()) / 2};
  }
  return {Left(), Top()};
}

void TCustomForm::Show() {
  HWND hwnd = Handle();
  if (Visible()) {
    if (!active_) Activate(), active_ = true;
    return;
  }
  if (AutoSize) AdjustToControls();
  TPoint at = ShownPosition();
  SetBounds(at.X, at.Y, Width(), Height());
  SetWindowPos(hwnd, nullptr, at.X, at.Y, Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  auto alive = AliveToken();
  DoShow();
  if (!*alive) return;
  SetVisible(true);
  ShowWindow(hwnd_, SW_SHOW);
  Backend().Show(hwnd_, BoundsRect(), true);
  InvalidateArea(ClientRect());
  TCustomForm* previous = Application->ActiveForm();
  if (previous && previous != this) {
    previous->active_ = false;
    previous->Deactivate();
    if (!*alive) return;
  }
  // A form opens with the focus on its first control in tab order, unless
  // the show event already chose one.
  if (!activeControl_) SelectFirst();
  Application->SetActiveForm(this);
  active_ = true;
  Activate();
}

void TCustomForm::Hide() {
  if (!Visible()) return;
  SetVisible(false);
  if (hwnd_) {
    ShowWindow(hwnd_, SW_HIDE);
    Backend().Show(hwnd_, BoundsRect(), false);
  }
  auto alive = AliveToken();
  if (OnHide) OnHide(this);
  if (!*alive) return;
  if (active_) {
    active_ = false;
    if (Application->ActiveForm() == this) Application->SetActiveForm(nullptr);
    Deactivate();
  }
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  TCloseAction action = caHide;
  auto alive = AliveToken();
  if (OnClose) OnClose(this, action);
  if (!*alive || action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
  } else if (action == caFree) {
    if (hwnd_) PostMessageA(hwnd_, CM_RELEASE, 0, 0);
  } else {
    Hide();
  }
}

void TCustomForm::AnswerUnattended() {
  std::string texts;
  CollectTexts(*this, texts);
  std::fprintf(stderr, "[%s]%s\n", AnsiToUtf8(Caption()).c_str(), texts.c_str());
  if (TButton* button = FindButton(true)) {
    std::fprintf(stderr, "  -> %s\n", AnsiToUtf8(button->Caption()).c_str());
    button->Click();
    if (modalResult_ == mrNone) modalResult_ = button->ModalResult != mrNone ? button->ModalResult : mrCancel;
  } else {
    modalResult_ = mrCancel;
  }
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || modal_) throw EInvalidOperation("Cannot make a visible window modal");
  auto alive = AliveToken();
  std::vector<std::pair<TCustomForm*, std::shared_ptr<const bool>>> disabled;
  for (TCustomForm* f : Application->Forms()) {
    if (f != this && f->Enabled()) {
      f->SetEnabled(false);
      disabled.emplace_back(f, f->AliveToken());
    }
  }
  auto reenable = [&disabled] {
    for (auto& [f, token] : disabled) {
      if (*token) f->SetEnabled(true);
    }
  };
  modal_ = true;
  modalResult_ = mrNone;
  try {
    Show();
    if (*alive && Responder()) {
      Responder()(*this);
    } else if (*alive && Backend().IsHeadless()) {
      AnswerUnattended();
    }
    while (*alive) {
      if (modalResult_ != mrNone) {
        TCloseAction action = caHide;
        if (OnClose) OnClose(this, action);
        if (!*alive) break;
        if (action != caNone) break;
        modalResult_ = mrNone;
      }
      if (Application->Terminated()) {
        modalResult_ = mrCancel;
        break;
      }
      Application->HandleMessage();
    }
  } catch (...) {
    reenable();
    if (*alive) {
      modal_ = false;
      Hide();
    }
    throw;
  }
  reenable();
  if (!*alive) return mrCancel;
  TModalResult result = modalResult_;
  modal_ = false;
  Hide();
  return result;
}

void TCustomForm::SetActiveControl(TControl* control) {
  if (control == activeControl_) return;
  TControl* old = activeControl_;
  activeControl_ = control;
  if (old) old->FocusChanged(false);
  if (control) control->FocusChanged(true);
}

void TCustomForm::SelectNext(bool forward) {
  std::vector<TControl*> order;
  CollectFocusable(*this, order);
  if (order.empty()) return;
  auto it = std::find(order.begin(), order.end(), activeControl_);
  std::size_t index =
      it == order.end() ? (forward ? order.size() - 1 : 0) : static_cast<std::size_t>(it - order.begin());
  index = forward ? (index + 1) % order.size() : (index + order.size() - 1) % order.size();
  SetActiveControl(order[index]);
}

void TCustomForm::SelectFirst() {
  std::vector<TControl*> order;
  CollectFocusable(*this, order);
  if (!order.empty()) SetActiveControl(order.front());
}

TButton* TCustomForm::FindButton(bool defaultButton) const {
  std::function<TButton*(const TWinControl&)> search = [&](const TWinControl& container) -> TButton* {
    for (int i = 0; i < container.ControlCount(); ++i) {
      TControl* c = container.Controls(i);
      if (!c->Visible() || !c->Enabled()) continue;
      if (auto* b = dynamic_cast<TButton*>(c); b && (defaultButton ? b->Default : b->Cancel)) return b;
      if (auto* wc = dynamic_cast<TWinControl*>(c)) {
        if (TButton* found = search(*wc)) return found;
      }
    }
    return nullptr;
  };
  return search(*this);
}

void TCustomForm::OpenPopup(TControl* owner, const TRect& area) {
  ClosePopup();
  popupOwner_ = owner;
  popupRect_ = area;
  InvalidateArea(area);
}

void TCustomForm::ClosePopup() {
  TControl* owner = popupOwner_;
  if (!owner) return;
  popupOwner_ = nullptr;
  InvalidateArea(popupRect_);
  owner->PopupClosed();
}

void TCustomForm::ControlDestroying(TControl* control) {
  if (popupOwner_ == control) {
    popupOwner_ = nullptr;
    InvalidateArea(popupRect_);
  }
  if (activeControl_ == control) activeControl_ = nullptr;
  if (captured_ == control) captured_ = nullptr;
  if (hovered_ == control) hovered_ = nullptr;
}

// ---- Painting ----------------------------------------------------------------

void TCustomForm::EnsureSurface() {
  if (surface_ && surface_->Width() == std::max(1, Width()) && surface_->Height() == std::max(1, Height())) return;
  surface_ = std::make_unique<TSurface>(Width(), Height());
  updateArea_ = ClientRect();
}

void TCustomForm::InvalidateArea(const TRect& r) {
  TRect clipped = IntersectRect(r, ClientRect());
  if (clipped.IsEmpty()) return;
  updateArea_ = UnionRect(updateArea_, clipped);
  if (hwnd_ && Visible()) {
    RECT rc{clipped.Left, clipped.Top, clipped.Right, clipped.Bottom};
    InvalidateRect(hwnd_, &rc, FALSE);
  }
}

void TCustomForm::PaintArea(const TRect& area) {
  if (!Visible() && hwnd_) return;
  EnsureSurface();
  TRect r = IntersectRect(area, ClientRect());
  if (r.IsEmpty()) return;
  TCanvas& canvas = surface_->Canvas();
  cairo_t* cr = canvas.Handle();
  cairo_save(cr);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  cairo_clip(cr);
  PaintControl(canvas);
  PaintChildren(*this, canvas);
  if (hwnd_) qorv::framework::PaintChildWindows(hwnd_, canvas, r);
  if (popupOwner_) {
    canvas.Save(popupRect_);
    popupOwner_->PaintPopup(canvas, TRect{0, 0, popupRect_.Width(), popupRect_.Height()});
    canvas.Restore();
  }
  cairo_restore(cr);
  if (hwnd_ && Visible()) Backend().Present(hwnd_, *surface_, r);
  // A form sited in another window shows through that window's pixels.
  if (hwnd_) qorv::framework::InvalidateInParent(hwnd_, r);
}

void TCustomForm::PaintControl(TCanvas& canvas) {
  canvas.Brush = TBrush{Color(), bsSolid};
  canvas.FillRect(ClientRect());
  canvas.Font.Assign(Font());
  if (OnPaint) OnPaint(this);
}

std::unique_ptr<TSurface> TCustomForm::PaintToSurface() {
  auto surface = std::make_unique<TSurface>(Width(), Height());
  PaintControl(surface->Canvas());
  PaintChildren(*this, surface->Canvas());
  if (hwnd_) qorv::framework::PaintChildWindows(hwnd_, surface->Canvas(), ClientRect());
  if (popupOwner_) {
    surface->Canvas().Save(popupRect_);
    popupOwner_->PaintPopup(surface->Canvas(), TRect{0, 0, popupRect_.Width(), popupRect_.Height()});
    surface->Canvas().Restore();
  }
  return surface;
}

bool TCustomForm::SaveScreenshot(const std::string& path) { return PaintToSurface()->SaveToPng(path); }

bool TCustomForm::CaptureFromDisplay(std::vector<std::uint32_t>& pixels) {
  if (!hwnd_) return false;
  return Backend().Capture(hwnd_, Width(), Height(), pixels);
}

void TCustomForm::Resized() {
  TWinControl::Resized();
  if (hwnd_) SetWindowPos(hwnd_, nullptr, 0, 0, Width(), Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::Loaded() {
  TWinControl::Loaded();
  if (AutoSize) AdjustToControls();
}

void TCustomForm::AdjustToControls() {
  int right = 0, bottom = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible()) continue;
    right = std::max(right, c->Left() + c->Width());
    bottom = std::max(bottom, c->Top() + c->Height());
  }
  if (right > 0 && bottom > 0) SetBounds(Left(), Top(), right, bottom);
}

void TCustomForm::TextChanged() {
  if (hwnd_) {
    SetWindowTextA(hwnd_, Caption().c_str());
    Backend().SetCaption(hwnd_, AnsiToUtf8(Caption()));
  }
}

// ---- Messages ----------------------------------------------------------------

LRESULT TCustomForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd_, &ps);
      TRect area = UnionRect(updateArea_, TRect{ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom});
      updateArea_ = TRect{};
      PaintArea(area);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      // The parent window draws this form into its own pixels.
      std::unique_ptr<TSurface> picture = PaintToSurface();
      return qorv::framework::PrintSurfaceInto(reinterpret_cast<HDC>(wParam), *picture) ? 1 : 0;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSELEAVE: {
      if (!Enabled()) return 0;
      auto alive = AliveToken();
      HWND child = qorv::framework::MouseChild(hwnd_, captured_ != nullptr, message, lParam);
      if (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE) {
        // What the pointer left hears of it before what it entered.
        qorv::framework::LeaveChildrenBut(hwnd_, child);
        if (child && *alive) UpdateHover(nullptr, {});
      }
      if (!*alive) return 0;
      if (child) {
        qorv::framework::PassMouseTo(hwnd_, child, message, wParam, lParam);
      } else {
        qorv::framework::TakeFocusOnPress(hwnd_, message);
        if (*alive) HandleMouse(message, wParam, lParam);
      }
      return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      // System keys stay with the top-level window: Alt+F4 closes it.
      if (message == WM_KEYDOWN && qorv::framework::PassKeyToFocus(hwnd_, message, wParam, lParam)) return 0;
      if (Enabled()) HandleKeyDown(static_cast<unsigned short>(wParam));
      if (message == WM_SYSKEYDOWN) return DefWindowProcA(hwnd_, message, wParam, lParam);
      return 0;
    case WM_CHAR:
      if (qorv::framework::PassKeyToFocus(hwnd_, message, wParam, lParam)) return 0;
      if (Enabled()) HandleChar(static_cast<char>(wParam));
      return 0;
    case WM_CLOSE:
      if (Enabled()) Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (active_) active_ = false, Deactivate();
      } else if (!active_) {
        active_ = true;
        Application->SetActiveForm(this);
        Activate();
      }
      return 0;
    case WM_FONTCHANGE:
      RefreshFonts();
      InvalidateArea(ClientRect());
      return 0;
    case CM_RELEASE: delete this; return 0;
    default: break;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void TCustomForm::UpdateHover(TControl* control, TPoint) {
  if (control == hovered_) return;
  auto alive = AliveToken();
  TControl* old = hovered_;
  hovered_ = control;
  if (old) old->MouseLeave();
  if (!*alive || hovered_ != control) return;
  if (control) control->MouseEnter();
}

void TCustomForm::ShowCursorOf(TControl* control) {
  // A control that leaves its cursor at the default shows its parent's.
  TCursor cursor = crDefault;
  for (TControl* c = control; c && cursor == crDefault; c = c->Parent()) cursor = c->Cursor;
  if (hwnd_) Backend().SetCursor(hwnd_, cursor);
}

void TCustomForm::HandleMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  auto alive = AliveToken();
  if (message == WM_MOUSELEAVE) {
    UpdateHover(nullptr, {});
    return;
  }
  TPoint p{static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
           static_cast<short>(HIWORD(static_cast<DWORD>(lParam)))};
  TShiftState shift = ShiftFromMouseKeys(wParam);
  TControl* hit = ControlAtPos(p, false);
  TControl* target = hit ? hit : this;
  auto local = [&](TControl* c) {
    TPoint origin = c->ClientToForm({0, 0});
    return TPoint{p.X - origin.X, p.Y - origin.Y};
  };

  switch (message) {
    case WM_MOUSEMOVE: {
      TControl* hover = ControlAtPos(p, true);
      UpdateHover(hover, p);
      if (!*alive) return;
      // While a control holds the mouse the cursor stays as it was.
      if (!captured_) ShowCursorOf(target);
      TControl* to = captured_ ? captured_ : target;
      TPoint lp = local(to);
      to->MouseMove(shift, lp.X, lp.Y);
      return;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (popupOwner_) {
        TControl* owner = popupOwner_;
        if (popupRect_.Contains(p)) {
          owner->PopupClick({p.X - popupRect_.Left, p.Y - popupRect_.Top});
          return;
        }
        ClosePopup();
        if (!*alive || owner == hit) return;
      }
      TMouseButton button = message == WM_RBUTTONDOWN ? mbRight : mbLeft;
      if (target->CanFocus()) SetActiveControl(target);
      captured_ = target;
      TPoint lp = local(target);
      auto targetAlive = target->AliveToken();
      if (message == WM_LBUTTONDBLCLK) shift |= ssDouble;
      target->MouseDown(button, shift, lp.X, lp.Y);
      if (message == WM_LBUTTONDBLCLK && *targetAlive) target->DblClick();
      return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      TMouseButton button = message == WM_RBUTTONUP ? mbRight : mbLeft;
      TControl* to = captured_ ? captured_ : target;
      captured_ = nullptr;
      TPoint lp = local(to);
      auto toAlive = to->AliveToken();
      if (button == mbLeft && to->ClientRect().Contains(lp)) to->Click();
      if (!*toAlive) return;
      to->MouseUp(button, shift, lp.X, lp.Y);
      return;
    }
    default: return;
  }
}

void TCustomForm::HandleKeyDown(unsigned short key) {
  auto alive = AliveToken();
  TShiftState shift = KeyboardShift();
  keyHandledByButton_ = false;
  if (KeyPreview && OnKeyDown) {
    OnKeyDown(this, key, shift);
    if (!*alive || key == 0) return;
  }
  if (key == VK_RETURN || key == VK_ESCAPE) {
    TButton* button = nullptr;
    if (key == VK_RETURN) button = dynamic_cast<TButton*>(activeControl_);
    if (!button) button = FindButton(key == VK_RETURN);
    if (button) {
      keyHandledByButton_ = true;
      button->Click();
      return;
    }
  }
  if (key == VK_TAB) {
    SelectNext((shift & ssShift) == 0);
    return;
  }
  if (activeControl_) activeControl_->KeyDown(key, shift);
}

void TCustomForm::HandleChar(char key) {
  if (keyHandledByButton_ && (key == '\r' || key == 27)) {
    keyHandledByButton_ = false;
    return;
  }
  if (key == '\t') return;
  auto alive = AliveToken();
  if (KeyPreview || !activeControl_) {
    if (OnKeyPress) OnKeyPress(this, key);
    if (!*alive || key == 0) return;
  }
  if (activeControl_) activeControl_->KeyPress(key);
}
