#include "ui/image_ex.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

struct image_cache {
    std::map<int, std::unique_ptr<CImageEx::img_struct>> images;
    int counted_slots = 0;
};

image_cache& cache() {
    static auto* c = new image_cache;  // slots in static objects may outlive other statics
    return *c;
}

// Copies the resource into movable memory and makes a stream over it, as
// the decoder reads its input from a stream.
IStream* stream_of_resource(int id, HINSTANCE instance) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), L"PNG");
    if (!found) return nullptr;
    const DWORD size = SizeofResource(instance, found);
    const void* bytes = LockResource(LoadResource(instance, found));
    if (!bytes || size == 0) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    return stream;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> CImageEx::DecodePng(int id, HINSTANCE instance) {
    IStream* stream = stream_of_resource(id, instance);
    if (!stream) return nullptr;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream);
    stream->Release();
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    return bitmap;
}

HBITMAP CImageEx::MakeBitmap(Gdiplus::Bitmap& bitmap) {
    HBITMAP handle = nullptr;
    if (bitmap.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &handle) != Gdiplus::Ok) return nullptr;
    return handle;
}

BOOL CImageEx::LoadSlot(CImageSlot& slot, int id, HINSTANCE instance) {
    Count(slot);
    slot.m_id = 0;
    auto& images = cache().images;
    if (images.find(id) == images.end()) {
        std::unique_ptr<Gdiplus::Bitmap> bitmap = DecodePng(id, instance);
        if (!bitmap) return FALSE;
        HBITMAP handle = MakeBitmap(*bitmap);
        if (!handle) return FALSE;
        auto entry = std::make_unique<img_struct>();
        entry->bitmap = std::move(bitmap);
        entry->image.Attach(handle, CImage::DIBOR_TOPDOWN);
        // Made over transparent black, the bitmap carries the image's
        // alpha: drawn without the mark, every image would be opaque.
        entry->image.SetHasAlphaChannel(true);
        images.emplace(id, std::move(entry));
    }
    slot.m_id = id;
    return TRUE;
}

void CImageEx::Count(CImageSlot& slot) {
    if (slot.m_counted) return;
    slot.m_counted = true;
    ++cache().counted_slots;
}

void CImageEx::ReleaseSlot(CImageSlot& slot) {
    slot.m_id = 0;
    if (!slot.m_counted) return;
    slot.m_counted = false;
    image_cache& c = cache();
    if (--c.counted_slots == 0) c.images.clear();
}

CImageEx::img_struct* CImageEx::Find(int id) {
    auto& images = cache().images;
    const auto found = images.find(id);
    return found == images.end() ? nullptr : found->second.get();
}

int CImageEx::CachedImages() {
    return static_cast<int>(cache().images.size());
}

int CImageEx::CountedSlots() {
    return cache().counted_slots;
}

CImageSlot::CImageSlot() {
    CImageEx::Count(*this);
}

CImageSlot::~CImageSlot() {
    CImageEx::ReleaseSlot(*this);
}

CImage* CImageSlot::GetImage() const {
    CImageEx::img_struct* entry = m_id ? CImageEx::Find(m_id) : nullptr;
    return entry ? &entry->image : nullptr;
}

Gdiplus::Bitmap* CImageSlot::GetBitmap() const {
    CImageEx::img_struct* entry = m_id ? CImageEx::Find(m_id) : nullptr;
    return entry ? entry->bitmap.get() : nullptr;
}

int CImageSlot::GetWidth() const {
    const CImage* image = GetImage();
    return image ? image->GetWidth() : 0;
}

int CImageSlot::GetHeight() const {
    const CImage* image = GetImage();
    return image ? image->GetHeight() : 0;
}

void CImageSlot::Draw(HDC dc, int x, int y) const {
    if (const CImage* image = GetImage()) image->AlphaBlend(dc, x, y);
}

void CImageSlot::DrawStretched(HDC dc, const RECT& destination) const {
    const CImage* image = GetImage();
    const int width = destination.right - destination.left;
    const int height = destination.bottom - destination.top;
    if (!image || width <= 0 || height <= 0) return;
    image->AlphaBlend(dc, destination.left, destination.top, width, height, 0, 0, image->GetWidth(),
                      image->GetHeight());
}

void CImageSlot::DrawTiled(HDC dc, const RECT& destination) const {
    const CImage* image = GetImage();
    if (!image) return;
    const int tile_width = image->GetWidth(), tile_height = image->GetHeight();
    if (tile_width <= 0 || tile_height <= 0) return;
    for (int y = destination.top; y < destination.bottom; y += tile_height) {
        const int height = std::min(tile_height, static_cast<int>(destination.bottom) - y);
        for (int x = destination.left; x < destination.right; x += tile_width) {
            const int width = std::min(tile_width, static_cast<int>(destination.right) - x);
            image->AlphaBlend(dc, x, y, width, height, 0, 0, width, height);
        }
    }
}

BOOL LoadImageSlot(CImageSlot& slot, int id, HINSTANCE instance) {
    return CImageEx::LoadSlot(slot, id, instance);
}

void ReleaseImageSlot(CImageSlot& slot) {
    CImageEx::ReleaseSlot(slot);
}

BOOL LoadBitmapEx(CBitmapEx& bitmap, int id, HINSTANCE instance) {
    std::unique_ptr<Gdiplus::Bitmap> decoded = CImageEx::DecodePng(id, instance);
    if (!decoded) return FALSE;
    HBITMAP handle = CImageEx::MakeBitmap(*decoded);
    if (!handle) return FALSE;
    bitmap.DeleteObject();
    bitmap.Attach(handle);
    bitmap.m_nWidth = static_cast<int>(decoded->GetWidth());
    bitmap.m_nHeight = static_cast<int>(decoded->GetHeight());
    return TRUE;
}
