#include "Classes.h"

#include <algorithm>

TObject::~TObject() = default;

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetDesigning(bool designing) {
  if (designing)
    state_ |= csDesigning;
  else
    state_ &= ~static_cast<TComponentState>(csDesigning);
}

void TComponent::EndLoading() {
  state_ &= ~static_cast<TComponentState>(csLoading);
  Loaded();
}

namespace {
bool SameTextAscii(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}
}  // namespace

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameTextAscii(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component == this) return;
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  // Detach before deleting, so the child's destructor finds no owner to
  // remove itself from and the list is never walked while it changes.
  while (!components_.empty()) {
    TComponent* last = components_.back();
    components_.pop_back();
    last->owner_ = nullptr;
    delete last;
  }
}
