#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes.h"

namespace {

// Records every notification and destruction into a shared log. It joins its
// owner once named, so the owner's insert notification can show the name.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name, std::vector<std::string>* log) : log_(log) {
    SetName(name);
    if (owner) owner->InsertComponent(this);
  }
  ~Probe() override {
    BeginDestroy();
    log_->push_back("~" + GetName() + (GetComponentState().Contains(csDestroying) ? "" : " (not destroying)"));
  }
  TComponent* watched = nullptr;  // a reference kept safe by free notification

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (c == this) return;  // the owner passes a component's own news to it too
    log_->push_back(GetName() + (op == opInsert ? " +" : " -") + c->GetName());
    if (op == opRemove && c == watched) watched = nullptr;
  }

 private:
  std::vector<std::string>* log_;
};

using Log = std::vector<std::string>;

TEST(TComponentTest, OwnerFreesWhatItOwnsLastFirst) {
  Log log;
  auto* owner = new Probe(nullptr, "owner", &log);
  new Probe(owner, "a", &log);
  auto* b = new Probe(owner, "b", &log);
  new Probe(b, "b1", &log);
  EXPECT_EQ(owner->GetComponentCount(), 2);
  EXPECT_EQ(owner->GetComponent(1), b);
  EXPECT_EQ(b->GetOwner(), owner);
  EXPECT_EQ(b->GetComponentIndex(), 1);
  EXPECT_THROW(owner->GetComponent(2), EListError);
  // The owner passes news on to what it owns: a hears of its sibling b.
  EXPECT_EQ(log, (Log{"owner +a", "a +b", "owner +b", "b +b1"}));
  log.clear();
  delete owner;
  // Every component is marked destroying before its own destructor runs, and
  // the owner's own destructor runs after its components are gone.
  EXPECT_EQ(log, (Log{"~b1", "~b", "~a", "~owner"}));
}

TEST(TComponentTest, FreeingAnOwnedComponentTellsTheOwner) {
  Log log;
  Probe owner(nullptr, "owner", &log);
  auto* a = new Probe(&owner, "a", &log);
  log.clear();
  delete a;
  EXPECT_EQ(owner.GetComponentCount(), 0);
  EXPECT_EQ(log, (Log{"~a", "owner -a"}));
}

TEST(TComponentTest, FreeNotificationReachesThePartnerAndCanBeWithdrawn) {
  Log log;
  Probe view(nullptr, "view", &log);
  auto* io = new Probe(nullptr, "io", &log);
  io->watched = &view;
  io->FreeNotification(&view);
  EXPECT_TRUE(io->GetComponentState().Contains(csFreeNotification));

  // The view goes: the I/O component forgets it before it is gone.
  auto* view2 = new Probe(nullptr, "view2", &log);
  io->watched = view2;
  io->FreeNotification(view2);
  log.clear();
  delete view2;
  EXPECT_EQ(io->watched, nullptr);
  EXPECT_EQ(log, (Log{"io -view2", "~view2"}));

  // Notification goes both ways: the I/O component's end tells the view.
  log.clear();
  delete io;
  EXPECT_EQ(log, (Log{"view -io", "~io"}));

  // Withdrawn requests are not delivered.
  auto* other = new Probe(nullptr, "other", &log);
  other->FreeNotification(&view);
  other->RemoveFreeNotification(&view);
  log.clear();
  delete other;
  EXPECT_EQ(log, (Log{"~other"}));
}

TEST(TComponentTest, SiblingsAreToldThroughTheirOwner) {
  Log log;
  auto* form = new Probe(nullptr, "form", &log);
  auto* view = new Probe(form, "view", &log);
  auto* io = new Probe(form, "io", &log);
  io->watched = view;
  io->FreeNotification(view);
  log.clear();
  delete view;
  EXPECT_EQ(io->watched, nullptr);
  EXPECT_EQ(log, (Log{"~view", "io -view", "form -view"}));
  log.clear();
  delete form;
  EXPECT_EQ(log, (Log{"form -io", "~io", "~form"}));
}

TEST(TComponentTest, CsDestroyingVisibleToPartnersDuringDestruction) {
  // A partner told of the removal sees the dying component in csDestroying.
  struct Watcher : TComponent {
    bool sawDestroying = false;
    void Notification(TComponent* c, TOperation op) override {
      TComponent::Notification(c, op);
      if (op == opRemove) sawDestroying = c->GetComponentState().Contains(csDestroying);
    }
  };
  Watcher w;
  auto* dying = new TComponent;
  w.FreeNotification(dying);
  delete dying;
  EXPECT_TRUE(w.sawDestroying);
}

TEST(TComponentTest, InsertRemoveAndStates) {
  Log log;
  Probe a(nullptr, "a", &log);
  Probe b(nullptr, "b", &log);
  auto* c = new Probe(&a, "c", &log);
  b.InsertComponent(c);  // moves from a to b
  EXPECT_EQ(a.GetComponentCount(), 0);
  EXPECT_EQ(c->GetOwner(), &b);
  b.RemoveComponent(c);
  EXPECT_EQ(c->GetOwner(), nullptr);
  EXPECT_EQ(log, (Log{"a +c", "a -c", "b +c", "b -c"}));
  delete c;

  b.Loading();
  EXPECT_TRUE(b.GetComponentState().Contains(csLoading));
  b.Loaded();
  EXPECT_FALSE(b.GetComponentState().Contains(csLoading));
  a.SetDesigning(true);
  auto* d = new Probe(&a, "d", &log);
  EXPECT_TRUE(d->GetComponentState().Contains(csDesigning));
  a.SetTag(42);
  EXPECT_EQ(a.GetTag(), 42);
}

TEST(TPersistentTest, AssignWithoutSupportRaises) {
  TComponent x, y;
  try {
    x.Assign(&y);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TComponent to a TComponent");
  }
  TStringList l;
  EXPECT_THROW(l.Assign(&x), EConvertError);
}

}  // namespace
