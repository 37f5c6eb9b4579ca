// The drawing-object table and the stock objects.
#include "gdi_objects.h"

#include <mutex>
#include <unordered_map>

namespace win_gdi {

namespace {

struct table {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<gdi_object>> objects;
    uintptr_t next = 1;
};

table& the_table() {
    static table* t = new table;  // outlives static destructors of other units
    return *t;
}

// Drawing handles sit in a range of their own, far from kernel handles.
constexpr uintptr_t handle_base = 0x10000000;

}  // namespace

HGDIOBJ add_object(std::shared_ptr<gdi_object> object) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    const uintptr_t id = t.next++;
    object->handle = reinterpret_cast<HGDIOBJ>(handle_base + id * 4);
    HGDIOBJ handle = object->handle;
    t.objects.emplace(id, std::move(object));
    return handle;
}

std::shared_ptr<gdi_object> find_object(HGDIOBJ handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value < handle_base || value % 4 != 0) return nullptr;
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find((value - handle_base) / 4);
    return it == t.objects.end() ? nullptr : it->second;
}

bool remove_object(HGDIOBJ handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value < handle_base || value % 4 != 0) return false;
    std::shared_ptr<gdi_object> doomed;  // destroyed outside the lock
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find((value - handle_base) / 4);
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

std::shared_ptr<bitmap_object> stock_bitmap() {
    static const auto bitmap = [] {
        auto b = std::make_shared<bitmap_object>(std::make_shared<canvas>(1, 1), false);
        b->stock = true;
        add_object(b);
        return b;
    }();
    return bitmap;
}

std::vector<RECT> dc_object::drawable_parts(const RECT& device_rect) const {
    const canvas& surface = target();
    const RECT bounds{0, 0, surface.width(), surface.height()};
    RECT inside;
    if (!IntersectRect(&inside, &device_rect, &bounds)) return {};
    return visible_parts(inside, state.clip ? &*state.clip : nullptr);
}

RECT dc_object::to_device(const RECT& logical) const {
    RECT r = logical;
    OffsetRect(&r, state.origin.x, state.origin.y);
    return r;
}

}  // namespace win_gdi
