// Region handles and the clip region of a DC.
#include <algorithm>

#include "gdi_objects.h"

using namespace win_gdi;

namespace {

std::shared_ptr<region_object> find_region(HRGN handle) {
    return find_as<region_object>(handle);
}

region::operation operation_of(int mode) {
    switch (mode) {
        case RGN_AND:
            return region::operation::intersect;
        case RGN_OR:
            return region::operation::unite;
        case RGN_XOR:
            return region::operation::exclusive_or;
        default:
            return region::operation::subtract;
    }
}

// The clip's type; a DC without a clip shows its whole surface.
int clip_type(const dc_object& dc) {
    if (!dc.state.clip) return SIMPLEREGION;
    return dc.state.clip->type();
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto object = std::make_shared<region_object>();
    // The system orders the edges of a region's rectangle.
    object->shape = region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                                std::max(top, bottom)});
    return static_cast<HRGN>(add_object(object));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode) {
    auto target = find_region(destination);
    auto first = find_region(a);
    if (!target || !first || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    if (mode == RGN_COPY) {
        target->shape = first->shape;
        return target->shape.type();
    }
    auto second = find_region(b);
    if (!second) return ERROR;
    target->shape = region::combine(first->shape, second->shape, operation_of(mode));
    return target->shape.type();
}

int GetRgnBox(HRGN handle, LPRECT box) {
    auto object = find_region(handle);
    if (!object || !box) return ERROR;
    *box = object->shape.bounds();
    return object->shape.type();
}

int OffsetRgn(HRGN handle, int dx, int dy) {
    auto object = find_region(handle);
    if (!object) return ERROR;
    object->shape.offset(dx, dy);
    return object->shape.type();
}

BOOL PtInRegion(HRGN handle, int x, int y) {
    auto object = find_region(handle);
    return object && object->shape.contains(x, y) ? TRUE : FALSE;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    auto first = find_region(a);
    auto second = find_region(b);
    if (!first || !second) return ERROR;
    return first->shape == second->shape ? TRUE : FALSE;
}

int SelectClipRgn(HDC dc, HRGN handle) {
    auto object = find_dc(dc);
    if (!object) return ERROR;
    if (!handle) {
        object->state.clip.reset();
        return SIMPLEREGION;
    }
    auto shape = find_region(handle);
    if (!shape) return ERROR;
    object->state.clip = shape->shape;
    return clip_type(*object);
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    auto object = find_dc(dc);
    if (!object) return ERROR;
    const region box(object->to_device(RECT{left, top, right, bottom}));
    const canvas& surface = object->target();
    const region current = object->state.clip
                               ? *object->state.clip
                               : region(RECT{0, 0, surface.width(), surface.height()});
    object->state.clip = region::combine(current, box, region::operation::intersect);
    return clip_type(*object);
}

int GetClipBox(HDC dc, LPRECT box) {
    auto object = find_dc(dc);
    if (!object || !box) return ERROR;
    const canvas& surface = object->target();
    const RECT whole{0, 0, surface.width(), surface.height()};
    RECT visible = whole;
    int type = SIMPLEREGION;
    if (object->state.clip) {
        const region inside =
            region::combine(*object->state.clip, region(whole), region::operation::intersect);
        visible = inside.bounds();
        type = inside.type();
    }
    OffsetRect(&visible, -object->state.origin.x, -object->state.origin.y);
    *box = visible;
    return type;
}
