// TComponent ownership, notification, Loaded; TPersistent assignment.
#include "toolkit/component.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/exceptions.h"

namespace tk {
namespace {

struct Log {
  std::vector<std::string> lines;
};

class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name, Log& log) : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Probe() override { log_.lines.push_back("free " + Name()); }
  void Loaded() override {
    log_.lines.push_back(std::string("loaded ") + Name() +
                         (HasState(csLoading) ? " while loading" : ""));
    TComponent::Loaded();
  }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    log_.lines.push_back(
        Name() + (op == TOperation::opRemove ? " hears remove " : " hears insert ") + c->Name());
    TComponent::Notification(c, op);
  }

 private:
  Log& log_;
};

TEST(Component, OwnerFreesWhatItOwnsAndRegistersMembers) {
  Log log;
  {
    Probe owner(nullptr, "Form", log);
    Probe* a = owner.Own(std::make_unique<Probe>(&owner, "A", log));
    Probe* b = owner.Own(std::make_unique<Probe>(&owner, "B", log));
    EXPECT_EQ(a->Owner(), &owner);
    EXPECT_EQ(owner.Components(), (std::vector<TComponent*>{a, b}));
    EXPECT_EQ(owner.FindComponent("b"), b);  // names are matched without case
    EXPECT_EQ(owner.FindComponent("C"), nullptr);
    log.lines.clear();
  }
  // The last made goes first; each unregisters before the owner goes.
  EXPECT_EQ(log.lines, (std::vector<std::string>{"free Form", "free B", "free A"}));
}

TEST(Component, MemberComponentUnregistersWhenItGoes) {
  Log log;
  Probe owner(nullptr, "Form", log);
  {
    Probe member(&owner, "Member", log);
    EXPECT_EQ(owner.Components().size(), 1u);
  }
  EXPECT_TRUE(owner.Components().empty());
}

TEST(Component, OwnerAndSiblingsHearOfInsertAndRemove) {
  Log log;
  Probe owner(nullptr, "Form", log);
  Probe a(&owner, "A", log);
  log.lines.clear();
  {
    Probe b(&owner, "B", log);
    // Told while the base part is made: the name is not set yet.
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Form hears insert ", "A hears insert "}));
    log.lines.clear();
  }
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"free B", "Form hears remove B", "A hears remove B"}));
}

TEST(Component, FreeNotificationTellsTheOtherSideOnceAndUnlinks) {
  Log log;
  auto display = std::make_unique<Probe>(nullptr, "Display", log);
  Probe comm(nullptr, "Comm", log);
  comm.FreeNotification(display.get());
  comm.FreeNotification(display.get());  // asking twice is asking once
  display.reset();
  EXPECT_EQ(log.lines, (std::vector<std::string>{"free Display", "Comm hears remove Display"}));

  // The listener going first leaves nothing dangling behind in the other.
  log.lines.clear();
  Probe other(nullptr, "Other", log);
  {
    Probe listener(nullptr, "Listener", log);
    listener.FreeNotification(&other);
  }
  log.lines.clear();
  auto gone = std::make_unique<Probe>(nullptr, "Gone", log);
  other.FreeNotification(gone.get());
  other.RemoveFreeNotification(gone.get());
  gone.reset();
  EXPECT_EQ(log.lines, (std::vector<std::string>{"free Gone"}));
}

TEST(Component, StateFlags) {
  Log log;
  Probe c(nullptr, "C", log);
  EXPECT_EQ(c.ComponentState(), 0u);
  c.SetLoading(true);
  c.SetDesigning(true);
  EXPECT_TRUE(c.HasState(csLoading));
  EXPECT_TRUE(c.HasState(csDesigning));
  c.Loaded();  // ends loading
  EXPECT_FALSE(c.HasState(csLoading));
  EXPECT_TRUE(c.HasState(csDesigning));
  c.SetDesigning(false);
  EXPECT_FALSE(c.HasState(csDestroying));
  EXPECT_EQ(c.ComponentState(), 0u);
}

TEST(Component, OwnMovesAComponentMadeWithoutOwner) {
  Log log;
  Probe owner(nullptr, "Form", log);
  Probe* loose = owner.Own(std::make_unique<Probe>(nullptr, "Loose", log));
  EXPECT_EQ(loose->Owner(), &owner);
  EXPECT_EQ(owner.FindComponent("Loose"), loose);
}

// ---- Assign -----------------------------------------------------------------

class TSettings : public TPersistent {
 public:
  std::string ClassName() const override { return "TSettings"; }
  int value = 0;
  void Assign(const TPersistent* source) override {
    if (const auto* s = dynamic_cast<const TSettings*>(source)) {
      value = s->value;
      return;
    }
    TPersistent::Assign(source);
  }
};

class TOther : public TPersistent {
 public:
  std::string ClassName() const override { return "TOther"; }
};

TEST(Persistent, AssignTakesItsOwnClassAndRefusesOthers) {
  TSettings a, b;
  b.value = 7;
  a.Assign(&b);
  EXPECT_EQ(a.value, 7);

  TOther other;
  try {
    a.Assign(&other);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TOther to a TSettings");
  }
  try {
    a.Assign(nullptr);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a nil to a TSettings");
  }
  EXPECT_EQ(a.value, 7);  // a refused assignment changes nothing
  TPersistent base;
  EXPECT_THROW(base.Assign(&b), EConvertError);
}

}  // namespace
}  // namespace tk
