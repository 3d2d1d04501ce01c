// Applying a parsed description to components: a registry of component
// classes (factory and property table, found by class name), with property
// setters that convert and check the stored values and bind event handlers
// through the root form's handler table.
//
// Classes outside the framework (the serial port component, the image button,
// the SQL components) register themselves with RegisterComponentClass before
// a form that uses them is loaded; static libraries drop unreferenced
// registration objects, so the registration is an explicit call.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>

#include "Classes.h"
#include "FormReader.h"

class TCustomForm;

// A resource (a form description) that the module does not hold.
class EResNotFound : public Exception {
 public:
  using Exception::Exception;
};

class TLoadContext {
 public:
  TLoadContext(TCustomForm& root, const TFormProperty& property) : Root(root), Property(property) {}
  TCustomForm& Root;
  const TFormProperty& Property;

  [[noreturn]] void Fail(const std::string& what) const;
  // Value conversions; each raises EReadError naming the line when the
  // stored value is of another kind or out of range.
  std::int64_t Integer(std::int64_t min, std::int64_t max) const;
  int Int() const;
  bool Boolean() const;
  double Float() const;
  // A string value in the ANSI code page.
  std::string Text() const;
  std::string Identifier() const;
  // An identifier among the names (their position) or, for enumerations
  // stored as numbers, an in-range integer.
  int Enum(std::initializer_list<const char*> names) const;
  // A set of names, as bits (name i is bit i).
  unsigned Set(std::initializer_list<const char*> names) const;
  std::int32_t Color() const;
  std::vector<std::string> Strings() const;
  const std::vector<std::uint8_t>& Binary() const;
  // The handler named by the value, as the event type E.
  template <class E>
  E Handler() const {
    const std::any* found = FindHandler();
    auto* typed = std::any_cast<E>(found);
    if (!typed) Fail("handler '" + Property.Value.Text + "' does not fit event " + Property.Name);
    return *typed;
  }

 private:
  const std::any* FindHandler() const;
};

using TPropertySetter = std::function<void(TComponent& component, const TLoadContext& context)>;

class TComponentClass {
 public:
  std::string Name;
  const TComponentClass* Parent = nullptr;
  std::function<TComponent*(TComponent* owner)> Factory;
  std::map<std::string, TPropertySetter> Properties;  // names compared case-insensitively (stored lower case)

  const TPropertySetter* FindProperty(const std::string& name) const;
  // Adds a property whose setter takes the component as T.
  template <class T>
  TComponentClass& Property(const std::string& name, std::function<void(T&, const TLoadContext&)> setter) {
    Properties[Lower(name)] = [setter, name](TComponent& c, const TLoadContext& ctx) {
      auto* typed = dynamic_cast<T*>(&c);
      if (!typed) ctx.Fail("property " + name + " does not apply to " + c.Name());
      setter(*typed, ctx);
    };
    return *this;
  }
  static std::string Lower(std::string s);
};

// Registers (or replaces) a class; parentName names a class registered
// before, whose properties the new one inherits.
TComponentClass& RegisterComponentClass(const std::string& name, const std::string& parentName,
                                        std::function<TComponent*(TComponent* owner)> factory);
const TComponentClass* FindComponentClass(const std::string& name);

// Fills the form from the node tree: the form's own properties, then each
// object made by its class's factory with the form as owner and its enclosing
// control as parent, properties applied in order, fields and handlers bound by
// name. Every component made is in the loading state until all are done; then
// each leaves it and runs its after-load step, the form first. Raises
// EReadError naming the line, or EOutOfMemory when memory runs out.
void ApplyFormDescription(TCustomForm& form, const TFormNode& root);

// Makes the framework's own classes known; runs once, on the first lookup.
void RegisterStandardClasses();
