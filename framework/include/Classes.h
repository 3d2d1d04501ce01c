// The component model: TObject is the root of every framework class;
// TComponent adds ownership, a name, a tag and the component state.
//
// Ownership: a component created with an owner is freed by that owner, after
// the owner's own destructor body has run and before its TComponent part goes.
// A component freed first removes itself from its owner. Components are made
// with new and freed with delete (or by their owner), never on the stack when
// they have an owner.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject();
};

// Bits of TComponent::ComponentState.
enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,     // being filled from a stored form description
  csDesigning = 1u << 1,   // hosted by a designer rather than running
  csDestroying = 1u << 2,  // its destructor has started
};
using TComponentState = unsigned;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  std::intptr_t Tag() const { return tag_; }
  void SetTag(std::intptr_t tag) { tag_ = tag; }

  TComponentState ComponentState() const { return state_; }
  bool IsLoading() const { return (state_ & csLoading) != 0; }
  bool IsDesigning() const { return (state_ & csDesigning) != 0; }
  void SetDesigning(bool designing);

  // The loading state brackets the filling of a component from stored data.
  // EndLoading clears the state first and then runs Loaded(), so Loaded sees a
  // component that is no longer loading (and may raise for real).
  void BeginLoading() { state_ |= csLoading; }
  void EndLoading();

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<std::size_t>(index)); }
  // The first owned component with that name, compared without regard to
  // ASCII case; nullptr when none.
  TComponent* FindComponent(std::string_view name) const;
  // Changes ownership; a component may have one owner at a time.
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, the most recently inserted first.
  void DestroyComponents();

  // The form loader calls this for a component described inside another one
  // that is not a control (a field inside its table); the base ignores it.
  virtual void SetParentComponent(TComponent* parent) { (void)parent; }

 protected:
  // The step after loading; the base does nothing.
  virtual void Loaded() {}

 private:
  TComponent* owner_ = nullptr;
  std::string name_;
  std::intptr_t tag_ = 0;
  TComponentState state_ = 0;
  std::vector<TComponent*> components_;
};
