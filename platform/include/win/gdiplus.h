// The object-oriented drawing library: bitmaps decoded from PNG and JPEG
// streams, graphics over a DC or a bitmap drawing images, rectangles and
// strings. Every object keeps the status of its last failure
// (GetLastStatus reads and clears it). Nothing works before GdiplusStartup:
// objects made then report GdiplusNotInitialized.
//
// Images are drawn by nearest pixel when scaled, at whole-pixel positions
// (fractional coordinates round to the nearest pixel); the resolution a file
// records is ignored, so an image is drawn at its size in pixels. Text has no
// padding around the layout rectangle.
#pragma once

#include <cstdint>

#include <memory>
#include <string>
#include <vector>

#include "win/com.h"
#include "win/gdi.h"

namespace win_gdi {
class canvas;
class region;
class text_font;
}  // namespace win_gdi

namespace Gdiplus {

typedef float REAL;
typedef DWORD ARGB;
typedef INT PixelFormat;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20
};

// ---- Start-up -------------------------------------------------------------

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};

// Counted: the library works while more startups than shutdowns happened.
// Versions 1 to 3 are accepted.
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// ---- Values ---------------------------------------------------------------

enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6
};

constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;

class Color {
public:
    enum : ARGB {
        Black = 0xFF000000,
        White = 0xFFFFFFFF,
        Red = 0xFFFF0000,
        Green = 0xFF008000,
        Blue = 0xFF0000FF,
        Transparent = 0x00FFFFFF
    };

    Color() : argb_(Black) {}
    Color(BYTE r, BYTE g, BYTE b) : argb_(MakeARGB(255, r, g, b)) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : argb_(MakeARGB(a, r, g, b)) {}
    Color(ARGB argb) : argb_(argb) {}

    BYTE GetA() const { return static_cast<BYTE>(argb_ >> 24); }
    BYTE GetR() const { return static_cast<BYTE>(argb_ >> 16); }
    BYTE GetG() const { return static_cast<BYTE>(argb_ >> 8); }
    BYTE GetB() const { return static_cast<BYTE>(argb_); }
    ARGB GetValue() const { return argb_; }
    void SetValue(ARGB argb) { argb_ = argb; }

    static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
        return static_cast<ARGB>(a) << 24 | static_cast<ARGB>(r) << 16 | static_cast<ARGB>(g) << 8 |
               b;
    }

private:
    ARGB argb_;
};

struct Point {
    INT X = 0;
    INT Y = 0;
    Point() = default;
    Point(INT x, INT y) : X(x), Y(y) {}
};

struct PointF {
    REAL X = 0;
    REAL Y = 0;
    PointF() = default;
    PointF(REAL x, REAL y) : X(x), Y(y) {}
};

struct Rect {
    INT X = 0;
    INT Y = 0;
    INT Width = 0;
    INT Height = 0;
    Rect() = default;
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
    INT GetLeft() const { return X; }
    INT GetTop() const { return Y; }
    INT GetRight() const { return X + Width; }
    INT GetBottom() const { return Y + Height; }
};

struct RectF {
    REAL X = 0;
    REAL Y = 0;
    REAL Width = 0;
    REAL Height = 0;
    RectF() = default;
    RectF(REAL x, REAL y, REAL width, REAL height) : X(x), Y(y), Width(width), Height(height) {}
    REAL GetLeft() const { return X; }
    REAL GetTop() const { return Y; }
    REAL GetRight() const { return X + Width; }
    REAL GetBottom() const { return Y + Height; }
};

// ---- Images ---------------------------------------------------------------

class Image {
public:
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    UINT GetWidth();
    UINT GetHeight();
    PixelFormat GetPixelFormat();
    Status GetLastStatus() const;

protected:
    Image() = default;
    Status fail(Status status) const;

    std::shared_ptr<win_gdi::canvas> pixels_;  // premultiplied; null when construction failed
    PixelFormat format_ = PixelFormat32bppARGB;
    mutable Status last_status_ = Ok;

    friend class Graphics;
};

class Bitmap : public Image {
public:
    // Decodes the rest of the stream (PNG or JPEG). UnknownImageFormat for
    // other data, InvalidParameter for a damaged file or a null stream,
    // OutOfMemory for a picture too large to hold.
    explicit Bitmap(IStream* stream, BOOL use_embedded_color_management = FALSE);
    // The same with smaller limits on the pixel count and on the scans of a
    // JPEG file (the stand-in's own addition): for pictures that come from
    // the network, which get NetworkPictureMaxPixels and
    // NetworkPictureMaxScans; a larger picture, or one of more scans, is
    // OutOfMemory.
    Bitmap(IStream* stream, BOOL use_embedded_color_management, std::int64_t max_pixels,
           int max_scans);
    // The picture in a file (PNG or JPEG), as from a stream over it;
    // FileNotFound when the file cannot be opened for reading (it is opened
    // with read sharing, so a file another handle holds without sharing
    // cannot be read either).
    explicit Bitmap(const WCHAR* file, BOOL use_embedded_color_management = FALSE);
    Bitmap(const WCHAR* file, BOOL use_embedded_color_management, std::int64_t max_pixels,
           int max_scans);
    // Transparent pixels.
    Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB);

    static Bitmap* FromStream(IStream* stream, BOOL use_embedded_color_management = FALSE);
    static Bitmap* FromFile(const WCHAR* file, BOOL use_embedded_color_management = FALSE);

    static constexpr std::int64_t NetworkPictureMaxPixels = std::int64_t{1} << 22;
    // Encoders write a progressive picture in about ten scans (a few dozen
    // at most); at the network's pixel limit each scan costs a few
    // milliseconds.
    static constexpr int NetworkPictureMaxScans = 64;

    // A new 32-bit DIB section holding the image composited over background
    // (source over, premultiplied): an opaque background gives an opaque
    // bitmap; a transparent one keeps the image's own alpha.
    Status GetHBITMAP(const Color& background, HBITMAP* bitmap);
    // Straight (not premultiplied) colour.
    Status GetPixel(INT x, INT y, Color* color);
    Status SetPixel(INT x, INT y, const Color& color);

private:
    void decode(const std::vector<uint8_t>& bytes, std::int64_t max_pixels, int max_scans);
};

// ---- Brushes --------------------------------------------------------------

class Brush {
public:
    virtual ~Brush() = default;
    Status GetLastStatus() const;

protected:
    Brush() = default;
    ARGB color_ = Color::Black;
    mutable Status last_status_ = Ok;

    friend class Graphics;
};

class SolidBrush : public Brush {
public:
    explicit SolidBrush(const Color& color);
    Status GetColor(Color* color) const;
    Status SetColor(const Color& color);
};

// ---- Fonts and string formats ---------------------------------------------

class FontCollection;

enum FontStyle {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8
};

class FontFamily {
public:
    FontFamily();
    // FontFamilyNotFound when no such family is installed ("Arial" finds its
    // metric-compatible stand-in).
    explicit FontFamily(const WCHAR* name, const FontCollection* collection = nullptr);
    static const FontFamily* GenericSansSerif();

    BOOL IsAvailable() const;
    Status GetFamilyName(WCHAR name[LF_FACESIZE], WORD language = 0) const;
    Status GetLastStatus() const;

private:
    std::wstring name_;
    bool available_ = false;
    mutable Status last_status_ = Ok;

    friend class Font;
};

class Font {
public:
    // em_size is in unit (points by default: 96 / 72 pixels each). A family
    // that is not installed reports FontFamilyNotFound and draws with the
    // generic sans-serif family.
    Font(const WCHAR* family_name, REAL em_size, INT style = FontStyleRegular,
         Unit unit = UnitPoint, const FontCollection* collection = nullptr);
    Font(const FontFamily* family, REAL em_size, INT style = FontStyleRegular,
         Unit unit = UnitPoint);

    BOOL IsAvailable() const;
    REAL GetSize() const { return size_; }
    INT GetStyle() const { return style_; }
    Unit GetUnit() const { return unit_; }
    // The line spacing in pixels.
    REAL GetHeight(REAL dpi) const;
    Status GetLastStatus() const;

private:
    void open(const std::wstring& family);

    std::shared_ptr<const win_gdi::text_font> font_;
    REAL size_;
    INT style_;
    Unit unit_;
    mutable Status last_status_ = Ok;

    friend class Graphics;
};

enum StringAlignment { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };

enum StringTrimming {
    StringTrimmingNone = 0,
    StringTrimmingCharacter = 1,
    StringTrimmingWord = 2,
    StringTrimmingEllipsisCharacter = 3,
    StringTrimmingEllipsisWord = 4,
    StringTrimmingEllipsisPath = 5
};

enum StringFormatFlags {
    StringFormatFlagsNoFitBlackBox = 0x00000004,
    StringFormatFlagsNoFontFallback = 0x00000400,
    StringFormatFlagsMeasureTrailingSpaces = 0x00000800,
    StringFormatFlagsNoWrap = 0x00001000,
    StringFormatFlagsLineLimit = 0x00002000,
    StringFormatFlagsNoClip = 0x00004000
};

// Wrapping and clipping to the layout rectangle by default, near alignment,
// character trimming. Every ellipsis trimming cuts at a character and ends
// the last line shown in "…"; a wrapped line breaks between words, and a word
// wider than the rectangle between characters. With the line limit only
// lines wholly inside the rectangle are shown.
class StringFormat {
public:
    explicit StringFormat(INT flags = 0, WORD language = 0);

    Status SetAlignment(StringAlignment alignment);
    StringAlignment GetAlignment() const { return alignment_; }
    Status SetLineAlignment(StringAlignment alignment);
    StringAlignment GetLineAlignment() const { return line_alignment_; }
    Status SetTrimming(StringTrimming trimming);
    StringTrimming GetTrimming() const { return trimming_; }
    Status SetFormatFlags(INT flags);
    INT GetFormatFlags() const { return flags_; }

private:
    INT flags_;
    StringAlignment alignment_ = StringAlignmentNear;
    StringAlignment line_alignment_ = StringAlignmentNear;
    StringTrimming trimming_ = StringTrimmingCharacter;
};

// ---- Graphics -------------------------------------------------------------

// Draws into a DC's surface, with the DC's viewport origin and clip region as
// they were when the object was made, or into a bitmap's pixels. Everything
// is composited source over destination in premultiplied colour.
class Graphics {
public:
    explicit Graphics(HDC dc);
    explicit Graphics(Image* image);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    static Graphics* FromHDC(HDC dc);
    static Graphics* FromImage(Image* image);

    Status GetLastStatus() const;

    // Replaces every pixel inside the clip with the colour.
    Status Clear(const Color& color);

    Status DrawImage(Image* image, INT x, INT y);
    Status DrawImage(Image* image, REAL x, REAL y);
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    Status DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height);
    Status DrawImage(Image* image, const Rect& destination);
    Status DrawImage(Image* image, const RectF& destination);
    // The source rectangle (in pixels; other units are InvalidParameter) at
    // its own size at (x, y).
    Status DrawImage(Image* image, INT x, INT y, INT source_x, INT source_y, INT source_width,
                     INT source_height, Unit source_unit);
    // The source rectangle stretched over the destination.
    Status DrawImage(Image* image, const Rect& destination, INT source_x, INT source_y,
                     INT source_width, INT source_height, Unit source_unit);

    Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
    Status FillRectangle(const Brush* brush, const Rect& rect);
    Status FillRectangle(const Brush* brush, const RectF& rect);

    // length -1: up to the terminating zero. A layout width or height of 0
    // sets no limit in that direction.
    Status DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                      const StringFormat* format, const Brush* brush);
    Status DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                      const Brush* brush);
    Status DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                      const StringFormat* format, const Brush* brush);
    // The box the string would cover when drawn in the layout rectangle.
    Status MeasureString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                         const StringFormat* format, RectF* bounding_box,
                         INT* code_points_fitted = nullptr, INT* lines_filled = nullptr) const;
    Status MeasureString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                         RectF* bounding_box) const;

private:
    Status fail(Status status) const;
    Status draw_image(Image* image, const RECT& destination, const RECT& source);
    Status fill(const Brush* brush, const RECT& rect);
    // The device rectangles of a logical rectangle that drawing may touch.
    std::vector<RECT> parts_of(const RECT& logical) const;

    std::shared_ptr<win_gdi::canvas> target_;
    POINT origin_{};
    std::shared_ptr<const win_gdi::region> clip_;  // device coordinates; null: everywhere
    mutable Status last_status_ = Ok;
};

}  // namespace Gdiplus
