// The image cache, its slots and its count, and images that keep their
// transparency.
#include "ui/image_ex.h"
#include "toolkit_test_support.h"
#include "ui/alpha_button.h"
#include "ui/resource_ids.h"

namespace {

using namespace toolkit_test;
using Images = ToolkitTest;

constexpr int missing = 999;

// The pixel of a 32-bit DIB section (premultiplied 0xAARRGGBB).
uint32_t pixel_of(HBITMAP bitmap, int x, int y) {
    BITMAP description{};
    GetObjectW(bitmap, sizeof description, &description);
    const auto* row = static_cast<const uint8_t*>(description.bmBits) +
                      static_cast<size_t>(y) * description.bmWidthBytes;
    return reinterpret_cast<const uint32_t*>(row)[x];
}

TEST_F(Images, AMissingPngLeavesTheSlotEmptyAndPaintingSkipsIt) {
    ASSERT_EQ(CImageEx::CountedSlots(), 0);
    CImageSlot slot;
    EXPECT_FALSE(LoadImageSlot(slot, missing, AfxGetResourceHandle()));
    EXPECT_TRUE(slot.IsEmpty());
    EXPECT_EQ(slot.GetImage(), nullptr);
    EXPECT_EQ(CImageEx::CachedImages(), 0);

    recording_window window;
    ASSERT_TRUE(window.Create(CRect(600, 400, 700, 450), TRUE));
    // Without its normal image the button has no size; without its hovered
    // image nothing is drawn while it is hovered.
    CAlphaButton nothing, half;
    nothing.Create(&window, nullptr, 1, missing, missing, missing, missing, L"", 10, 10);
    EXPECT_TRUE(nothing.GetRect().IsRectEmpty());
    half.Create(&window, nullptr, 2, IDB_CLOSE_NORMAL, missing, missing, missing, L"", 40, 10);
    EXPECT_EQ(half.GetRect(), CRect(40, 10, 60, 30));
    window.Redraw();
    EXPECT_NE(picture(window, "missing-normal").at(50, 20).GetA(), 0);
    move(window, 50, 20);
    EXPECT_TRUE(half.GetState() & CAlphaButton::state_hovered);
    const picture hovered(window, "missing-hovered");
    EXPECT_EQ(hovered.at(50, 20).GetA(), 0) << describe(hovered.at(50, 20));
}

TEST_F(Images, TheCacheEmptiesWithTheLastSlotAndItsCountNeverGoesBelowZero) {
    ASSERT_EQ(CImageEx::CountedSlots(), 0);
    {
        CImageSlot first, second;
        EXPECT_EQ(CImageEx::CountedSlots(), 2);
        ASSERT_TRUE(LoadImageSlot(first, IDB_BUTTON_STOP, AfxGetResourceHandle()));
        ASSERT_TRUE(LoadImageSlot(second, IDB_BUTTON_STOP, AfxGetResourceHandle()));
        EXPECT_EQ(CImageEx::CachedImages(), 1);
        EXPECT_EQ(first.GetImage(), second.GetImage());
        EXPECT_EQ(first.GetWidth(), 82);
        EXPECT_EQ(first.GetHeight(), 18);

        // Released twice (and destroyed later): it counts off once.
        ReleaseImageSlot(first);
        ReleaseImageSlot(first);
        EXPECT_TRUE(first.IsEmpty());
        EXPECT_EQ(CImageEx::CountedSlots(), 1);
        EXPECT_NE(second.GetImage(), nullptr);
        EXPECT_EQ(CImageEx::CachedImages(), 1);
    }
    EXPECT_EQ(CImageEx::CountedSlots(), 0);
    EXPECT_EQ(CImageEx::CachedImages(), 0);

    // A released slot loaded again counts again.
    CImageSlot again;
    ReleaseImageSlot(again);
    EXPECT_EQ(CImageEx::CountedSlots(), 0);
    ASSERT_TRUE(LoadImageSlot(again, IDB_BUTTON_RESUME, AfxGetResourceHandle()));
    EXPECT_EQ(CImageEx::CountedSlots(), 1);
    EXPECT_EQ(CImageEx::CachedImages(), 1);
}

TEST_F(Images, ImagesKeepTheirTransparency) {
    CImageSlot close;
    ASSERT_TRUE(LoadImageSlot(close, IDB_CLOSE_NORMAL, AfxGetResourceHandle()));
    const HBITMAP cached = *close.GetImage();
    EXPECT_EQ(pixel_of(cached, 0, 0), 0u);  // transparent black, not opaque black
    EXPECT_GT(pixel_of(cached, 10, 10) >> 24, 0xC0u);

    CBitmapEx question;
    ASSERT_TRUE(LoadBitmapEx(question, IDB_YESNO_QUESTION, AfxGetResourceHandle()));
    EXPECT_EQ(question.m_nWidth, 48);
    EXPECT_EQ(question.m_nHeight, 48);
    EXPECT_EQ(pixel_of(question, 0, 0), 0u);
    EXPECT_EQ(pixel_of(question, 24, 24) >> 24, 0xFFu);
    EXPECT_FALSE(LoadBitmapEx(question, missing, AfxGetResourceHandle()));
    EXPECT_EQ(question.m_nWidth, 48);  // left as it was
}

}  // namespace
