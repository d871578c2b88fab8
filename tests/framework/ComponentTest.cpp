#include "framework/Component.h"

#include <gtest/gtest.h>

using tolvar::TComponent;
using tolvar::TOperation;

namespace {

struct Probe : TComponent {
    explicit Probe(TComponent* owner, int* deaths = nullptr) : TComponent(owner), deaths_(deaths) {}
    ~Probe() override {
        if (deaths_)
            ++*deaths_;
    }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == linked)
            linked = nullptr;
    }
    TComponent* linked = nullptr;
    int* deaths_;
};

TEST(Component, OwnerDestroysWhatItOwnsAndLinksAreCleared) {
    int deaths = 0;
    auto* form = new Probe(nullptr);
    auto* port = new Probe(form, &deaths);
    auto* list = new Probe(form, &deaths);
    port->SetName("ComPort");
    list->linked = port;
    port->FreeNotification(list);
    EXPECT_EQ(form->FindComponent("comport"), port);
    EXPECT_EQ(form->Components().size(), 2u);

    delete port; // the list is told and drops its link
    EXPECT_EQ(list->linked, nullptr);
    EXPECT_EQ(form->Components().size(), 1u);
    delete form;
    EXPECT_EQ(deaths, 2);
}

TEST(Component, LoadingStateEndsWithLoaded) {
    Probe c(nullptr);
    EXPECT_FALSE(c.IsLoading());
    c.BeginLoading();
    EXPECT_TRUE(c.IsLoading());
    c.Loaded();
    EXPECT_FALSE(c.IsLoading());
}

} // namespace
