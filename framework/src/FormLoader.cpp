#include "FormLoader.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "AnsiStrings.h"
#include "Controls.h"
#include "Forms.h"
#include "Graphics.h"

namespace {

std::map<std::string, TComponentClass>& Registry() {
  static std::map<std::string, TComponentClass> registry;
  return registry;
}

std::recursive_mutex& RegistryLock() {
  static std::recursive_mutex lock;
  return lock;
}

void EnsureStandardClasses() {
  static std::once_flag once;
  std::call_once(once, RegisterStandardClasses);
}

const char* KindName(TFormValueKind kind) {
  switch (kind) {
    case TFormValueKind::Integer: return "an integer";
    case TFormValueKind::Float: return "a number";
    case TFormValueKind::String: return "a string";
    case TFormValueKind::Identifier: return "an identifier";
    case TFormValueKind::Set: return "a set";
    case TFormValueKind::List: return "a list";
    case TFormValueKind::Binary: return "binary data";
  }
  return "a value";
}

struct TLoadState {
  TCustomForm& Form;
  std::vector<TComponent*> Loaded;
};

void ApplyProperties(TComponent& component, const TComponentClass& cls, const TFormNode& node, TLoadState& state) {
  for (const TFormProperty& prop : node.Properties) {
    const TPropertySetter* setter = cls.FindProperty(prop.Name);
    if (!setter) {
      throw EReadError(prop.Line, "unknown property '" + prop.Name + "' of " + node.Name + " (" + cls.Name + ")");
    }
    (*setter)(component, TLoadContext(state.Form, prop));
  }
}

void CreateChildren(const TFormNode& node, TComponent* enclosing, TLoadState& state) {
  for (const TFormNode& child : node.Children) {
    const TComponentClass* cls = FindComponentClass(child.ClassName);
    if (!cls || !cls->Factory) throw EReadError(child.Line, "class " + child.ClassName + " not found");
    if (state.Form.FindComponent(child.Name))
      throw EReadError(child.Line, "a component named " + child.Name + " already exists");
    TComponent* component = cls->Factory(&state.Form);
    component->BeginLoading();
    component->SetName(child.Name);
    state.Loaded.push_back(component);
    auto* control = dynamic_cast<TControl*>(component);
    if (control) {
      auto* container = dynamic_cast<TWinControl*>(enclosing);
      if (!container) throw EReadError(child.Line, child.Name + " cannot be placed inside a control that holds none");
      control->SetParent(container);
    } else if (enclosing && !dynamic_cast<TControl*>(enclosing)) {
      component->SetParentComponent(enclosing);
    }
    if (!state.Form.AssignField(child.Name, component)) {
      throw EReadError(child.Line, "field " + child.Name + " of the form is not of class " + child.ClassName);
    }
    ApplyProperties(*component, *cls, child, state);
    // Controls hold controls; a component that is not a control holds its
    // own parts (a table its fields), and nothing inside a control.
    CreateChildren(child, control ? static_cast<TComponent*>(control) : component, state);
  }
}

}  // namespace

std::string TComponentClass::Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

const TPropertySetter* TComponentClass::FindProperty(const std::string& name) const {
  std::string key = Lower(name);
  for (const TComponentClass* c = this; c; c = c->Parent) {
    auto it = c->Properties.find(key);
    if (it != c->Properties.end()) return &it->second;
  }
  return nullptr;
}

TComponentClass& RegisterComponentClass(const std::string& name, const std::string& parentName,
                                        std::function<TComponent*(TComponent* owner)> factory) {
  std::lock_guard<std::recursive_mutex> lock(RegistryLock());
  auto& registry = Registry();
  TComponentClass& cls = registry[TComponentClass::Lower(name)];
  cls.Name = name;
  cls.Factory = std::move(factory);
  if (!parentName.empty()) {
    auto it = registry.find(TComponentClass::Lower(parentName));
    cls.Parent = it == registry.end() ? nullptr : &it->second;
  }
  return cls;
}

const TComponentClass* FindComponentClass(const std::string& name) {
  EnsureStandardClasses();
  std::lock_guard<std::recursive_mutex> lock(RegistryLock());
  auto& registry = Registry();
  auto it = registry.find(TComponentClass::Lower(name));
  return it == registry.end() ? nullptr : &it->second;
}

void ApplyFormDescription(TCustomForm& form, const TFormNode& root) {
  TranslateOutOfMemory([&] {
    // The root is the form itself, of the form's own class; its properties
    // are those of the framework's form class it derives from.
    const TComponentClass* cls = FindComponentClass(form.PropertyClassName());
    if (!cls) throw EReadError(root.Line, std::string("class ") + form.PropertyClassName() + " not found");
    TLoadState state{form, {}};
    form.BeginLoading();
    state.Loaded.push_back(&form);
    form.DisableAlign();
    try {
      form.SetName(root.Name);
      ApplyProperties(form, *cls, root, state);
      CreateChildren(root, &form, state);
    } catch (...) {
      form.EnableAlign();
      throw;
    }
    for (TComponent* c : state.Loaded) c->EndLoading();
    form.EnableAlign();
  });
}

// ---- TLoadContext ---------------------------------------------------------------

void TLoadContext::Fail(const std::string& what) const {
  throw EReadError(Property.Line, "property " + Property.Name + ": " + what);
}

std::int64_t TLoadContext::Integer(std::int64_t min, std::int64_t max) const {
  const TFormValue& v = Property.Value;
  if (v.Kind != TFormValueKind::Integer) Fail(std::string("expected an integer, found ") + KindName(v.Kind));
  if (v.Integer < min || v.Integer > max) Fail("value " + std::to_string(v.Integer) + " out of range");
  return v.Integer;
}

int TLoadContext::Int() const { return static_cast<int>(Integer(INT32_MIN, INT32_MAX)); }

bool TLoadContext::Boolean() const {
  const TFormValue& v = Property.Value;
  if (v.Kind == TFormValueKind::Identifier) {
    std::string lower = TComponentClass::Lower(v.Text);
    if (lower == "true") return true;
    if (lower == "false") return false;
  }
  Fail("expected True or False");
}

double TLoadContext::Float() const {
  const TFormValue& v = Property.Value;
  if (v.Kind == TFormValueKind::Float) return v.Float;
  if (v.Kind == TFormValueKind::Integer) return static_cast<double>(v.Integer);
  Fail(std::string("expected a number, found ") + KindName(v.Kind));
}

std::string TLoadContext::Text() const {
  const TFormValue& v = Property.Value;
  if (v.Kind != TFormValueKind::String) Fail(std::string("expected a string, found ") + KindName(v.Kind));
  return Utf8ToAnsi(v.Text);
}

std::string TLoadContext::Identifier() const {
  const TFormValue& v = Property.Value;
  if (v.Kind != TFormValueKind::Identifier) Fail(std::string("expected an identifier, found ") + KindName(v.Kind));
  return v.Text;
}

int TLoadContext::Enum(std::initializer_list<const char*> names) const {
  const TFormValue& v = Property.Value;
  if (v.Kind == TFormValueKind::Integer)
    return static_cast<int>(Integer(0, static_cast<std::int64_t>(names.size()) - 1));
  std::string id = Identifier();
  int index = 0;
  for (const char* n : names) {
    if (TComponentClass::Lower(n) == TComponentClass::Lower(id)) return index;
    ++index;
  }
  Fail("invalid value '" + id + "'");
}

unsigned TLoadContext::Set(std::initializer_list<const char*> names) const {
  const TFormValue& v = Property.Value;
  if (v.Kind != TFormValueKind::Set) Fail(std::string("expected a set, found ") + KindName(v.Kind));
  unsigned bits = 0;
  for (const std::string& element : v.Names) {
    unsigned index = 0;
    bool found = false;
    for (const char* n : names) {
      if (TComponentClass::Lower(n) == TComponentClass::Lower(element)) {
        bits |= 1u << index;
        found = true;
      }
      ++index;
    }
    if (!found) Fail("invalid set element '" + element + "'");
  }
  return bits;
}

std::int32_t TLoadContext::Color() const {
  const TFormValue& v = Property.Value;
  if (v.Kind == TFormValueKind::Integer) return static_cast<std::int32_t>(Integer(INT32_MIN, UINT32_MAX));
  TColor color;
  if (!IdentToColor(Identifier(), color)) Fail("invalid colour '" + v.Text + "'");
  return color;
}

std::vector<std::string> TLoadContext::Strings() const {
  const TFormValue& v = Property.Value;
  if (v.Kind != TFormValueKind::List) Fail(std::string("expected a list of strings, found ") + KindName(v.Kind));
  std::vector<std::string> out;
  for (const TFormValue& item : v.Items) {
    if (item.Kind != TFormValueKind::String)
      throw EReadError(item.Line, "property " + Property.Name + ": expected a string in the list");
    out.push_back(Utf8ToAnsi(item.Text));
  }
  return out;
}

const std::vector<std::uint8_t>& TLoadContext::Binary() const {
  const TFormValue& v = Property.Value;
  if (v.Kind != TFormValueKind::Binary) Fail(std::string("expected binary data, found ") + KindName(v.Kind));
  return v.Bytes;
}

const std::any* TLoadContext::FindHandler() const {
  const TFormValue& v = Property.Value;
  if (v.Kind != TFormValueKind::Identifier) Fail("expected a handler name");
  const std::any* handler = Root.FindHandler(v.Text);
  if (!handler) Fail("handler '" + v.Text + "' not found in the form");
  return handler;
}
