#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Classes.h"

namespace {

// Records its destruction, and what it saw of its owner at that moment.
class TProbe : public TComponent {
 public:
  TProbe(TComponent* owner, std::string name, std::vector<std::string>* log) : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~TProbe() override { log_->push_back(Name()); }

  int LoadedCalls = 0;
  bool LoadingSeenInLoaded = true;

 protected:
  void Loaded() override {
    ++LoadedCalls;
    LoadingSeenInLoaded = IsLoading();
  }

 private:
  std::vector<std::string>* log_;
};

TEST(ComponentOwnership, OwnerFreesChildrenNewestFirst) {
  std::vector<std::string> freed;
  auto* owner = new TProbe(nullptr, "Owner", &freed);
  new TProbe(owner, "A", &freed);
  auto* b = new TProbe(owner, "B", &freed);
  new TProbe(b, "B1", &freed);
  EXPECT_EQ(owner->ComponentCount(), 2);
  delete owner;
  // A component's own destructor body runs before it frees what it owns.
  EXPECT_EQ(freed, (std::vector<std::string>{"Owner", "B", "B1", "A"}));
}

TEST(ComponentOwnership, ChildFreedFirstLeavesItsOwner) {
  std::vector<std::string> freed;
  auto* owner = new TProbe(nullptr, "Owner", &freed);
  auto* a = new TProbe(owner, "A", &freed);
  new TProbe(owner, "B", &freed);
  delete a;
  ASSERT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0)->Name(), "B");
  delete owner;  // must not free A a second time
  EXPECT_EQ(freed, (std::vector<std::string>{"A", "Owner", "B"}));
}

TEST(ComponentOwnership, InsertMovesBetweenOwners) {
  std::vector<std::string> freed;
  TProbe first(nullptr, "First", &freed);
  auto* second = new TProbe(nullptr, "Second", &freed);
  auto* child = new TProbe(&first, "Child", &freed);
  second->InsertComponent(child);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(child->Owner(), second);
  delete second;
  EXPECT_EQ(freed, (std::vector<std::string>{"Second", "Child"}));
}

TEST(ComponentOwnership, FindComponentIgnoresAsciiCase) {
  std::vector<std::string> freed;
  TProbe owner(nullptr, "Form", &freed);
  auto* mp = new TProbe(&owner, "MP", &freed);
  EXPECT_EQ(owner.FindComponent("mp"), mp);
  EXPECT_EQ(owner.FindComponent("Label1"), nullptr);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
}

TEST(ComponentLoading, EndLoadingClearsStateBeforeLoaded) {
  std::vector<std::string> freed;
  TProbe c(nullptr, "MP", &freed);
  c.BeginLoading();
  EXPECT_TRUE(c.IsLoading());
  EXPECT_EQ(c.LoadedCalls, 0);
  c.EndLoading();
  EXPECT_FALSE(c.IsLoading());
  EXPECT_EQ(c.LoadedCalls, 1);
  EXPECT_FALSE(c.LoadingSeenInLoaded);
}

TEST(ComponentLoading, DesigningIsIndependentOfLoading) {
  std::vector<std::string> freed;
  TProbe c(nullptr, "MP", &freed);
  c.SetDesigning(true);
  c.BeginLoading();
  c.EndLoading();
  EXPECT_TRUE(c.IsDesigning());
  c.SetDesigning(false);
  EXPECT_EQ(c.ComponentState(), 0u);
}

}  // namespace
