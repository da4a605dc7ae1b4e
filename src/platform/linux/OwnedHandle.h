// How the Linux backends own what their C libraries hand over (GLib, libatspi, libsecret, libxcb):
// each is released once, by its library's own function, when its owner goes; null is nothing.
#pragma once

#include <cstdlib>
#include <glib-object.h>
#include <memory>

namespace tidyword::platform::linux_desktop {

// A deleter with no state, chosen by the library's release function.
template <auto release>
struct ReleasedBy {
    template <typename T>
    void operator()(T* handle) const {
        release(handle);
    }
};

// A T* that `release` lets go of.
template <typename T, auto release>
using Owned = std::unique_ptr<T, ReleasedBy<release>>;

namespace owned_handle {
// A function of the standard library may not have its address taken: ours calls it.
inline void freeMemory(void* memory) {
    std::free(memory);
}
inline void freeObjectList(GList* list) {
    g_list_free_full(list, g_object_unref);
}
}  // namespace owned_handle

// One reference on a GObject of any type (an AtspiAccessible, a GSettings, a SecretService).
template <typename T>
using OwnedObject = Owned<T, g_object_unref>;
// One reference on a GVariant that is not floating (g_variant_ref_sink it first if it may be).
using OwnedVariant = Owned<GVariant, g_variant_unref>;
// Memory to g_free: a string, or a struct a library returns by pointer (AtspiRange).
template <typename T = gchar>
using OwnedGMemory = Owned<T, g_free>;
using OwnedString = OwnedGMemory<gchar>;
using OwnedStrv = Owned<gchar*, g_strfreev>;
using OwnedError = Owned<GError, g_error_free>;
// A GList that owns a reference on each of its GObjects as well (transfer full).
using OwnedObjectList = Owned<GList, owned_handle::freeObjectList>;
// Memory to free(): libxcb's replies, events and errors.
template <typename T>
using OwnedMemory = Owned<T, owned_handle::freeMemory>;

template <typename T>
OwnedObject<T> adoptObject(T* object) {
    return OwnedObject<T>(object);
}

// A reference of our own on an object someone else holds.
template <typename T>
OwnedObject<T> newReference(T* object) {
    return OwnedObject<T>(object ? static_cast<T*>(g_object_ref(object)) : nullptr);
}

template <typename T>
OwnedMemory<T> adoptMemory(T* memory) {
    return OwnedMemory<T>(memory);
}

// An out-parameter for a C call that hands what the call leaves there to `owner` at the end of
// the full expression: `g_..._sync(…, into(error))`. A call that leaves null there changes
// nothing. Not for variadic calls (g_variant_get), which cannot take it.
template <typename Owner>
class Into {
public:
    explicit Into(Owner& owner) : owner_(owner) {}
    ~Into() {
        if (received_) {
            owner_.reset(received_);
        }
    }
    Into(const Into&) = delete;
    Into& operator=(const Into&) = delete;

    operator typename Owner::pointer *() { return &received_; }

private:
    Owner& owner_;
    typename Owner::pointer received_ = nullptr;
};

template <typename Owner>
Into<Owner> into(Owner& owner) {
    return Into<Owner>(owner);
}

}  // namespace tidyword::platform::linux_desktop
