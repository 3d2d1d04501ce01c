// The property tables of the framework's classes: what a stored description
// may set on each, with the value kinds each property takes.
#include <cstring>

#include "ActiveForm.h"
#include "Bevel.h"
#include "Button.h"
#include "ComboBox.h"
#include "FormLoader.h"
#include "Forms.h"
#include "Image.h"
#include "Label.h"
#include "LabeledEdit.h"
#include "OpenDialog.h"
#include "PageControl.h"
#include "ProgressBar.h"
#include "SpeedButton.h"
#include "Timer.h"

namespace {

template <class T>
using TSetter = std::function<void(T&, const TLoadContext&)>;

void Ignore(TComponent&, const TLoadContext&) {}

int Charset(const TLoadContext& ctx) {
  if (ctx.Property.Value.Kind == TFormValueKind::Integer) return static_cast<int>(ctx.Integer(0, 255));
  static const std::pair<const char*, int> names[] = {{"ANSI_CHARSET", ANSI_CHARSET},
                                                      {"DEFAULT_CHARSET", DEFAULT_CHARSET},
                                                      {"SYMBOL_CHARSET", SYMBOL_CHARSET},
                                                      {"ARABIC_CHARSET", ARABIC_CHARSET},
                                                      {"OEM_CHARSET", 255}};
  std::string id = ctx.Identifier();
  for (const auto& [name, value] : names) {
    if (id == name) return value;
  }
  ctx.Fail("invalid character set '" + id + "'");
}

template <class T>
void FontProperties(TComponentClass& cls, const std::string& prefix, std::function<TFont&(T&)> font) {
  cls.Property<T>(prefix + "Charset", [font](T& c, const TLoadContext& ctx) { font(c).SetCharset(Charset(ctx)); });
  cls.Property<T>(prefix + "Color", [font](T& c, const TLoadContext& ctx) { font(c).SetColor(ctx.Color()); });
  cls.Property<T>(prefix + "Height", [font](T& c, const TLoadContext& ctx) {
    font(c).SetHeight(static_cast<int>(ctx.Integer(-1000, 1000)));
  });
  cls.Property<T>(prefix + "Size", [font](T& c, const TLoadContext& ctx) {
    font(c).SetSize(static_cast<int>(ctx.Integer(-1000, 1000)));
  });
  cls.Property<T>(prefix + "Name", [font](T& c, const TLoadContext& ctx) { font(c).SetName(ctx.Text()); });
  cls.Property<T>(prefix + "Style", [font](T& c, const TLoadContext& ctx) {
    font(c).SetStyle(static_cast<TFontStyles>(ctx.Set({"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})));
  });
  cls.Property<T>(prefix + "Pitch", [](T&, const TLoadContext&) {});
}

template <class T>
void ControlProperties(TComponentClass& cls, const std::string& prefix, std::function<TControl&(T&)> get) {
  auto bounds = [get](int which) {
    return [get, which](T& t, const TLoadContext& ctx) {
      TControl& c = get(t);
      int v = ctx.Int();
      c.SetBounds(which == 0 ? v : c.Left(), which == 1 ? v : c.Top(), which == 2 ? v : c.Width(),
                  which == 3 ? v : c.Height());
    };
  };
  cls.Property<T>(prefix + "Left", bounds(0));
  cls.Property<T>(prefix + "Top", bounds(1));
  cls.Property<T>(prefix + "Width", bounds(2));
  cls.Property<T>(prefix + "Height", bounds(3));
  cls.Property<T>(prefix + "Visible", [get](T& t, const TLoadContext& ctx) { get(t).SetVisible(ctx.Boolean()); });
  cls.Property<T>(prefix + "Enabled", [get](T& t, const TLoadContext& ctx) { get(t).SetEnabled(ctx.Boolean()); });
  cls.Property<T>(prefix + "Color", [get](T& t, const TLoadContext& ctx) { get(t).SetColor(ctx.Color()); });
  cls.Property<T>(prefix + "ParentColor",
                  [get](T& t, const TLoadContext& ctx) { get(t).SetParentColor(ctx.Boolean()); });
  cls.Property<T>(prefix + "ParentFont", [get](T& t, const TLoadContext& ctx) { get(t).SetParentFont(ctx.Boolean()); });
  cls.Property<T>(prefix + "Caption", [get](T& t, const TLoadContext& ctx) { get(t).SetCaption(ctx.Text()); });
  cls.Property<T>(prefix + "Hint", [get](T& t, const TLoadContext& ctx) { get(t).Hint = ctx.Text(); });
  cls.Property<T>(prefix + "ShowHint", [get](T& t, const TLoadContext& ctx) { get(t).ShowHint = ctx.Boolean(); });
  cls.Property<T>(prefix + "ParentShowHint",
                  [get](T& t, const TLoadContext& ctx) { get(t).ParentShowHint = ctx.Boolean(); });
  cls.Property<T>(prefix + "Cursor", [get](T& t, const TLoadContext& ctx) {
    if (ctx.Property.Value.Kind == TFormValueKind::Integer) {
      get(t).Cursor = static_cast<TCursor>(ctx.Integer(-32768, 32767));
      return;
    }
    TCursor cursor;
    if (!IdentToCursor(ctx.Identifier(), cursor)) ctx.Fail("invalid cursor '" + ctx.Property.Value.Text + "'");
    get(t).Cursor = cursor;
  });
  cls.Property<T>(prefix + "BiDiMode", [get](T& t, const TLoadContext& ctx) {
    get(t).SetBiDiMode(static_cast<TBiDiMode>(
        ctx.Enum({"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"})));
  });
  cls.Property<T>(prefix + "ParentBiDiMode",
                  [get](T& t, const TLoadContext& ctx) { get(t).SetParentBiDiMode(ctx.Boolean()); });
  cls.Property<T>(prefix + "Align", [get](T& t, const TLoadContext& ctx) {
    get(t).SetAlign(static_cast<TAlign>(ctx.Enum({"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"})));
  });
  cls.Property<T>(prefix + "Anchors", [](T&, const TLoadContext& ctx) {
    ctx.Set({"akLeft", "akTop", "akRight", "akBottom"});
  });
  FontProperties<T>(cls, prefix + "Font.", [get](T& t) -> TFont& { return get(t).Font(); });
}

template <class T>
void EventProperty(TComponentClass& cls, const std::string& name, std::function<void(T&, TNotifyEvent)> set) {
  cls.Property<T>(name, [set](T& c, const TLoadContext& ctx) { set(c, ctx.Handler<TNotifyEvent>()); });
}

template <class T>
TComponentClass& Register(const char* name, const char* parent) {
  return RegisterComponentClass(name, parent, [](TComponent* owner) -> TComponent* { return new T(owner); });
}

void RegisterComponentBase() {
  TComponentClass& c = RegisterComponentClass("TComponent", "", nullptr);
  c.Property<TComponent>("Tag", [](TComponent& x, const TLoadContext& ctx) { x.SetTag(ctx.Int()); });
  // Designer positions of non-visual components mean nothing at run time.
  c.Property<TComponent>("Left", Ignore);
  c.Property<TComponent>("Top", Ignore);
  c.Property<TComponent>("DesignSize", Ignore);
}

void RegisterControlBase() {
  TComponentClass& c = RegisterComponentClass("TControl", "TComponent", nullptr);
  ControlProperties<TControl>(c, "", [](TControl& x) -> TControl& { return x; });
  EventProperty<TControl>(c, "OnClick", [](TControl& x, TNotifyEvent e) { x.OnClick = std::move(e); });
  EventProperty<TControl>(c, "OnDblClick", [](TControl& x, TNotifyEvent e) { x.OnDblClick = std::move(e); });
  EventProperty<TControl>(c, "OnMouseEnter", [](TControl& x, TNotifyEvent e) { x.OnMouseEnter = std::move(e); });
  EventProperty<TControl>(c, "OnMouseLeave", [](TControl& x, TNotifyEvent e) { x.OnMouseLeave = std::move(e); });
  c.Property<TControl>("OnMouseDown",
                       [](TControl& x, const TLoadContext& ctx) { x.OnMouseDown = ctx.Handler<TMouseEvent>(); });
  c.Property<TControl>("OnMouseUp",
                       [](TControl& x, const TLoadContext& ctx) { x.OnMouseUp = ctx.Handler<TMouseEvent>(); });
  c.Property<TControl>("OnMouseMove",
                       [](TControl& x, const TLoadContext& ctx) { x.OnMouseMove = ctx.Handler<TMouseMoveEvent>(); });

  TComponentClass& w = RegisterComponentClass("TWinControl", "TControl", nullptr);
  w.Property<TWinControl>("TabOrder", [](TWinControl& x, const TLoadContext& ctx) { x.TabOrder = ctx.Int(); });
  w.Property<TWinControl>("TabStop", [](TWinControl& x, const TLoadContext& ctx) { x.TabStop = ctx.Boolean(); });
}

void RegisterForms() {
  TComponentClass* activeForm = nullptr;
  for (const char* name : {"TForm", "TActiveForm"}) {
    TComponentClass& f = RegisterComponentClass(name, "TWinControl", nullptr);
    activeForm = &f;
    f.Property<TCustomForm>("ClientWidth",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.SetClientWidth(ctx.Int()); });
    f.Property<TCustomForm>("ClientHeight",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.SetClientHeight(ctx.Int()); });
    f.Property<TCustomForm>("BorderStyle", [](TCustomForm& x, const TLoadContext& ctx) {
      x.BorderStyle = static_cast<TFormBorderStyle>(
          ctx.Enum({"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}));
    });
    f.Property<TCustomForm>("BorderIcons", [](TCustomForm& x, const TLoadContext& ctx) {
      x.BorderIcons = ctx.Set({"biSystemMenu", "biMinimize", "biMaximize", "biHelp"});
    });
    f.Property<TCustomForm>("Position", [](TCustomForm& x, const TLoadContext& ctx) {
      x.Position = static_cast<TPosition>(
          ctx.Enum({"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                    "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"}));
    });
    f.Property<TCustomForm>("KeyPreview",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.KeyPreview = ctx.Boolean(); });
    f.Property<TCustomForm>("AutoSize", [](TCustomForm& x, const TLoadContext& ctx) { x.AutoSize = ctx.Boolean(); });
    f.Property<TCustomForm>("AutoScroll",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.AutoScroll = ctx.Boolean(); });
    f.Property<TCustomForm>("Scaled", [](TCustomForm& x, const TLoadContext& ctx) { x.Scaled = ctx.Boolean(); });
    f.Property<TCustomForm>("PixelsPerInch", [](TCustomForm& x, const TLoadContext& ctx) {
      x.PixelsPerInch = static_cast<int>(ctx.Integer(1, 10000));
    });
    f.Property<TCustomForm>("PrintScale", [](TCustomForm& x, const TLoadContext& ctx) {
      x.PrintScale = static_cast<TPrintScale>(ctx.Enum({"poNone", "poProportional", "poPrintToFit"}));
    });
    f.Property<TCustomForm>("DropTarget",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.DropTarget = ctx.Boolean(); });
    f.Property<TCustomForm>("DoubleBuffered",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.DoubleBuffered = ctx.Boolean(); });
    f.Property<TCustomForm>("HelpFile", [](TCustomForm& x, const TLoadContext& ctx) { x.HelpFile = ctx.Text(); });
    f.Property<TCustomForm>("HelpKeyword", [](TCustomForm& x, const TLoadContext& ctx) { x.HelpKeyword = ctx.Text(); });
    f.Property<TCustomForm>("HelpType", [](TCustomForm& x, const TLoadContext& ctx) {
      x.HelpType = static_cast<THelpType>(ctx.Enum({"htKeyword", "htContext"}));
    });
    // Stored by the designer; nothing at run time depends on them.
    f.Property<TComponent>("OldCreateOrder", Ignore);
    f.Property<TComponent>("TextHeight", Ignore);
    f.Property<TComponent>("FormStyle", Ignore);
    f.Property<TComponent>("WindowState", Ignore);
    f.Property<TComponent>("Visible", Ignore);
    EventProperty<TCustomForm>(f, "OnCreate", [](TCustomForm& x, TNotifyEvent e) { x.OnCreate = std::move(e); });
    EventProperty<TCustomForm>(f, "OnDestroy", [](TCustomForm& x, TNotifyEvent e) { x.OnDestroy = std::move(e); });
    EventProperty<TCustomForm>(f, "OnShow", [](TCustomForm& x, TNotifyEvent e) { x.OnShow = std::move(e); });
    EventProperty<TCustomForm>(f, "OnHide", [](TCustomForm& x, TNotifyEvent e) { x.OnHide = std::move(e); });
    EventProperty<TCustomForm>(f, "OnActivate", [](TCustomForm& x, TNotifyEvent e) { x.OnActivate = std::move(e); });
    EventProperty<TCustomForm>(f, "OnDeactivate",
                               [](TCustomForm& x, TNotifyEvent e) { x.OnDeactivate = std::move(e); });
    EventProperty<TCustomForm>(f, "OnPaint", [](TCustomForm& x, TNotifyEvent e) { x.OnPaint = std::move(e); });
    f.Property<TCustomForm>(
        "OnKeyPress", [](TCustomForm& x, const TLoadContext& ctx) { x.OnKeyPress = ctx.Handler<TKeyPressEvent>(); });
    f.Property<TCustomForm>("OnKeyDown",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.OnKeyDown = ctx.Handler<TKeyEvent>(); });
    f.Property<TCustomForm>("OnClose",
                            [](TCustomForm& x, const TLoadContext& ctx) { x.OnClose = ctx.Handler<TCloseEvent>(); });
  }
  activeForm->Property<TActiveForm>("AxBorderStyle", [](TActiveForm& x, const TLoadContext& ctx) {
    x.AxBorderStyle = static_cast<TActiveFormBorderStyle>(ctx.Enum({"afbNone", "afbSingle", "afbSunken", "afbRaised"}));
  });
}

void PictureProperty(TComponentClass& cls, const std::string& name, std::function<TPicture&(TComponent&)> get) {
  cls.Property<TComponent>(name, [get](TComponent& c, const TLoadContext& ctx) {
    const auto& bytes = ctx.Binary();
    try {
      get(c).LoadFromBytes(bytes.data(), bytes.size());
    } catch (const EInvalidGraphic& e) {
      ctx.Fail(e.Message());
    }
  });
}

void RegisterControls() {
  TComponentClass& label = Register<TLabel>("TLabel", "TControl");
  label.Property<TLabel>("Alignment", [](TLabel& x, const TLoadContext& ctx) {
    x.SetAlignment(static_cast<TAlignment>(ctx.Enum({"taLeftJustify", "taRightJustify", "taCenter"})));
  });
  label.Property<TLabel>("Layout", [](TLabel& x, const TLoadContext& ctx) {
    x.SetLayout(static_cast<TTextLayout>(ctx.Enum({"tlTop", "tlCenter", "tlBottom"})));
  });
  label.Property<TLabel>("WordWrap", [](TLabel& x, const TLoadContext& ctx) { x.SetWordWrap(ctx.Boolean()); });
  label.Property<TLabel>("Transparent", [](TLabel& x, const TLoadContext& ctx) { x.SetTransparent(ctx.Boolean()); });
  label.Property<TLabel>("AutoSize", [](TLabel& x, const TLoadContext& ctx) { x.SetAutoSize(ctx.Boolean()); });
  label.Property<TComponent>("FocusControl", Ignore);

  TComponentClass& image = Register<TImage>("TImage", "TControl");
  image.Property<TImage>("Stretch", [](TImage& x, const TLoadContext& ctx) { x.SetStretch(ctx.Boolean()); });
  image.Property<TImage>("Center", [](TImage& x, const TLoadContext& ctx) { x.SetCenter(ctx.Boolean()); });
  image.Property<TImage>("Transparent", [](TImage& x, const TLoadContext& ctx) { x.SetTransparent(ctx.Boolean()); });
  PictureProperty(image, "Picture.Data", [](TComponent& c) -> TPicture& { return static_cast<TImage&>(c).Picture(); });

  TComponentClass& timer = Register<TTimer>("TTimer", "TComponent");
  timer.Property<TTimer>("Interval", [](TTimer& x, const TLoadContext& ctx) {
    x.SetInterval(static_cast<unsigned>(ctx.Integer(0, UINT32_MAX)));
  });
  timer.Property<TTimer>("Enabled", [](TTimer& x, const TLoadContext& ctx) { x.SetEnabled(ctx.Boolean()); });
  EventProperty<TTimer>(timer, "OnTimer", [](TTimer& x, TNotifyEvent e) { x.OnTimer = std::move(e); });

  TComponentClass& button = Register<TButton>("TButton", "TWinControl");
  button.Property<TButton>("Default", [](TButton& x, const TLoadContext& ctx) { x.Default = ctx.Boolean(); });
  button.Property<TButton>("Cancel", [](TButton& x, const TLoadContext& ctx) { x.Cancel = ctx.Boolean(); });
  button.Property<TButton>("ModalResult", [](TButton& x, const TLoadContext& ctx) {
    if (ctx.Property.Value.Kind == TFormValueKind::Integer) {
      x.ModalResult = static_cast<TModalResult>(ctx.Integer(INT32_MIN, INT32_MAX));
      return;
    }
    x.ModalResult = ctx.Enum({"mrNone", "mrOk", "mrCancel", "mrAbort", "mrRetry", "mrIgnore", "mrYes", "mrNo"});
  });
  Register<TBitBtn>("TBitBtn", "TButton").Property<TComponent>("Kind", Ignore);

  TComponentClass& speed = Register<TSpeedButton>("TSpeedButton", "TControl");
  speed.Property<TSpeedButton>("Flat", [](TSpeedButton& x, const TLoadContext& ctx) { x.SetFlat(ctx.Boolean()); });
  speed.Property<TSpeedButton>("Layout", [](TSpeedButton& x, const TLoadContext& ctx) {
    x.SetLayout(static_cast<TButtonLayout>(ctx.Enum({"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"})));
  });
  speed.Property<TSpeedButton>("Margin", [](TSpeedButton& x, const TLoadContext& ctx) { x.Margin = ctx.Int(); });
  speed.Property<TSpeedButton>("Spacing", [](TSpeedButton& x, const TLoadContext& ctx) { x.Spacing = ctx.Int(); });
  speed.Property<TSpeedButton>(
      "NumGlyphs", [](TSpeedButton& x, const TLoadContext& ctx) { x.NumGlyphs = static_cast<int>(ctx.Integer(1, 4)); });
  speed.Property<TSpeedButton>("Transparent",
                               [](TSpeedButton& x, const TLoadContext& ctx) { x.Transparent = ctx.Boolean(); });
  PictureProperty(speed, "Glyph.Data",
                  [](TComponent& c) -> TPicture& { return static_cast<TSpeedButton&>(c).Glyph(); });

  TComponentClass& bevel = Register<TBevel>("TBevel", "TControl");
  bevel.Property<TBevel>("Shape", [](TBevel& x, const TLoadContext& ctx) {
    x.Shape = static_cast<TBevelShape>(
        ctx.Enum({"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"}));
  });
  bevel.Property<TBevel>("Style", [](TBevel& x, const TLoadContext& ctx) {
    x.Style = static_cast<TBevelStyle>(ctx.Enum({"bsLowered", "bsRaised"}));
  });

  TComponentClass& combo = Register<TComboBox>("TComboBox", "TWinControl");
  combo.Property<TComboBox>("Style", [](TComboBox& x, const TLoadContext& ctx) {
    x.Style = static_cast<TComboBoxStyle>(
        ctx.Enum({"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"}));
  });
  combo.Property<TComboBox>("ItemHeight", [](TComboBox& x, const TLoadContext& ctx) {
    x.ItemHeight = static_cast<int>(ctx.Integer(1, 1000));
  });
  combo.Property<TComboBox>("DropDownCount", [](TComboBox& x, const TLoadContext& ctx) {
    x.DropDownCount = static_cast<int>(ctx.Integer(1, 1000));
  });
  combo.Property<TComboBox>("Items.Strings", [](TComboBox& x, const TLoadContext& ctx) { x.Items = ctx.Strings(); });
  combo.Property<TComboBox>("ItemIndex", [](TComboBox& x, const TLoadContext& ctx) { x.SetItemIndex(ctx.Int()); });
  EventProperty<TComboBox>(combo, "OnChange", [](TComboBox& x, TNotifyEvent e) { x.OnChange = std::move(e); });

  TComponentClass& edit = Register<TEdit>("TEdit", "TWinControl");
  edit.Property<TEdit>("MaxLength", [](TEdit& x, const TLoadContext& ctx) {
    x.MaxLength = static_cast<int>(ctx.Integer(0, INT32_MAX));
  });
  edit.Property<TEdit>("PasswordChar", [](TEdit& x, const TLoadContext& ctx) {
    std::string text = ctx.Text();
    if (text.size() > 1) ctx.Fail("expected one character");
    x.PasswordChar = text.empty() ? '\0' : text[0];
  });
  edit.Property<TEdit>("ReadOnly", [](TEdit& x, const TLoadContext& ctx) { x.ReadOnly = ctx.Boolean(); });
  edit.Property<TEdit>("Text", [](TEdit& x, const TLoadContext& ctx) { x.SetText(ctx.Text()); });
  EventProperty<TEdit>(edit, "OnChange", [](TEdit& x, TNotifyEvent e) { x.OnChange = std::move(e); });

  TComponentClass& labeled = Register<TLabeledEdit>("TLabeledEdit", "TEdit");
  ControlProperties<TLabeledEdit>(labeled, "EditLabel.", [](TLabeledEdit& x) -> TControl& { return x.EditLabel(); });
  labeled.Property<TLabeledEdit>("EditLabel.Transparent", [](TLabeledEdit& x, const TLoadContext& ctx) {
    x.EditLabel().SetTransparent(ctx.Boolean());
  });
  labeled.Property<TLabeledEdit>("LabelPosition", [](TLabeledEdit& x, const TLoadContext& ctx) {
    x.SetLabelPosition(static_cast<TLabelPosition>(ctx.Enum({"lpAbove", "lpBelow", "lpLeft", "lpRight"})));
  });
  labeled.Property<TLabeledEdit>("LabelSpacing",
                                 [](TLabeledEdit& x, const TLoadContext& ctx) { x.SetLabelSpacing(ctx.Int()); });

  TComponentClass& pages = Register<TPageControl>("TPageControl", "TWinControl");
  pages.Property<TPageControl>("Style", [](TPageControl& x, const TLoadContext& ctx) {
    x.Style = static_cast<TTabStyle>(ctx.Enum({"tsTabs", "tsButtons", "tsFlatButtons"}));
  });
  // The active page names a sheet loaded later; it is looked up after loading.
  // The active page names a sheet loaded later; it is looked up after loading.
  pages.Property<TPageControl>(
      "ActivePage", [](TPageControl& x, const TLoadContext& ctx) { x.PendingActivePage = ctx.Identifier(); });
  EventProperty<TPageControl>(pages, "OnChange", [](TPageControl& x, TNotifyEvent e) { x.OnChange = std::move(e); });
  TComponentClass& sheet = Register<TTabSheet>("TTabSheet", "TWinControl");
  sheet.Property<TTabSheet>("TabVisible", [](TTabSheet& x, const TLoadContext& ctx) { x.TabVisible = ctx.Boolean(); });
  sheet.Property<TComponent>("PageControl", Ignore);

  TComponentClass& open = Register<TOpenDialog>("TOpenDialog", "TComponent");
  open.Property<TOpenDialog>("FileName", [](TOpenDialog& x, const TLoadContext& ctx) { x.FileName = ctx.Text(); });
  open.Property<TOpenDialog>("InitialDir", [](TOpenDialog& x, const TLoadContext& ctx) { x.InitialDir = ctx.Text(); });
  open.Property<TOpenDialog>("Filter", [](TOpenDialog& x, const TLoadContext& ctx) { x.Filter = ctx.Text(); });
  open.Property<TOpenDialog>("FilterIndex", [](TOpenDialog& x, const TLoadContext& ctx) { x.FilterIndex = ctx.Int(); });
  open.Property<TOpenDialog>("Title", [](TOpenDialog& x, const TLoadContext& ctx) { x.Title = ctx.Text(); });
  open.Property<TOpenDialog>("DefaultExt", [](TOpenDialog& x, const TLoadContext& ctx) { x.DefaultExt = ctx.Text(); });
  open.Property<TComponent>("Options", [](TComponent&, const TLoadContext& ctx) { (void)ctx.Property; });

  TComponentClass& progress = Register<TProgressBar>("TProgressBar", "TWinControl");
  progress.Property<TProgressBar>("Min", [](TProgressBar& x, const TLoadContext& ctx) { x.SetMin(ctx.Int()); });
  progress.Property<TProgressBar>("Max", [](TProgressBar& x, const TLoadContext& ctx) { x.SetMax(ctx.Int()); });
  progress.Property<TProgressBar>("Position",
                                  [](TProgressBar& x, const TLoadContext& ctx) { x.SetPosition(ctx.Int()); });
  progress.Property<TProgressBar>("Smooth", [](TProgressBar& x, const TLoadContext& ctx) { x.Smooth = ctx.Boolean(); });
  progress.Property<TProgressBar>("Step", [](TProgressBar& x, const TLoadContext& ctx) { x.Step = ctx.Int(); });
}

}  // namespace

void RegisterStandardClasses() {
  RegisterComponentBase();
  RegisterControlBase();
  RegisterForms();
  RegisterControls();
}
