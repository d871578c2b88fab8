#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

enum class TOperation { opInsert, opRemove };

// A named object that belongs to an owner. The owner destroys what it owns; objects that
// asked for it are told when a component goes away, so they can drop their links to it.
class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // Owned components in the order they were created.
    const std::vector<TComponent*>& Components() const { return components_; }
    TComponent* FindComponent(std::string_view name) const;

    // True while the component is being filled from a stored description.
    bool IsLoading() const { return loading_; }
    bool IsDestroying() const { return destroying_; }
    // Marks this component as being loaded; Loaded() clears the mark.
    void BeginLoading() { loading_ = true; }
    // Runs once the whole stored description has been applied.
    virtual void Loaded() { loading_ = false; }

    // Ask to be told (through Notification with opRemove) when `other` is destroyed.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    bool loading_ = false;
    bool destroying_ = false;
};

} // namespace tolvar
