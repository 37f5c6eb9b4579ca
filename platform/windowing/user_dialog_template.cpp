// Dialog templates as resource bytes: a small format of our own, written by
// the template builder and read back with every length checked, since
// resource bytes may come from anywhere.
//
//   "CVDT" u16 version(1)
//   u32 style, u32 ex_style, i16 x, y, cx, cy, u16 point size,
//   text caption, text font face, text class name, u16 control count,
//   per control: u32 style, u32 ex_style, i16 x, y, cx, cy, i32 id,
//                text class name, text text
//   text: u32 byte count, then UTF-8 bytes; all numbers little-endian.

#include <cstring>
#include <deque>
#include <mutex>

#include "kernel/resource_bytes.h"
#include "kernel/wide_text.h"
#include "user_resources.h"
#include "win/user_dialog.h"

namespace win_user {

void register_kept_resource(HMODULE module, LPCWSTR type, LPCWSTR name,
                            std::vector<uint8_t> bytes) {
    static auto* kept = new std::deque<std::vector<uint8_t>>;  // for the life of the process
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    kept->push_back(std::move(bytes));
    win_resources::register_resource(module, type, name, kept->back().data(), kept->back().size());
}

}  // namespace win_user

namespace win_dialogs {

namespace {

constexpr char magic[4] = {'C', 'V', 'D', 'T'};
constexpr uint16_t version = 1;
constexpr uint16_t most_controls = 4096;

control_template make(const wchar_t* cls, int id, std::wstring text, DWORD style, short x, short y,
                      short cx, short cy) {
    control_template c;
    c.class_name = cls;
    c.text = std::move(text);
    c.id = id;
    c.style = style | WS_CHILD | WS_VISIBLE;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    return c;
}

}  // namespace

control_template push_button(int id, std::wstring text, short x, short y, short cx, short cy) {
    return make(WC_BUTTONW, id, std::move(text), BS_PUSHBUTTON | WS_TABSTOP, x, y, cx, cy);
}

control_template default_push_button(int id, std::wstring text, short x, short y, short cx,
                                     short cy) {
    return make(WC_BUTTONW, id, std::move(text), BS_DEFPUSHBUTTON | WS_TABSTOP, x, y, cx, cy);
}

control_template auto_check_box(int id, std::wstring text, short x, short y, short cx, short cy) {
    return make(WC_BUTTONW, id, std::move(text), BS_AUTOCHECKBOX | WS_TABSTOP, x, y, cx, cy);
}

control_template left_text(int id, std::wstring text, short x, short y, short cx, short cy) {
    return make(WC_STATICW, id, std::move(text), SS_LEFT | WS_GROUP, x, y, cx, cy);
}

control_template edit_text(int id, short x, short y, short cx, short cy, DWORD style) {
    return make(WC_EDITW, id, L"", ES_LEFT | WS_BORDER | WS_TABSTOP | style, x, y, cx, cy);
}

control_template group_box(int id, std::wstring text, short x, short y, short cx, short cy) {
    return make(WC_BUTTONW, id, std::move(text), BS_GROUPBOX, x, y, cx, cy);
}

void register_dialog(HMODULE module, WORD id, const dialog_template& dialog) {
    win_user::resource_writer w;
    w.bytes(magic, sizeof magic);
    w.u16(version);
    w.u32(dialog.style);
    w.u32(dialog.ex_style);
    for (short v : {dialog.x, dialog.y, dialog.cx, dialog.cy}) w.u16(static_cast<uint16_t>(v));
    w.u16(dialog.point_size);
    w.text(dialog.caption);
    w.text(dialog.font_face);
    w.text(dialog.class_name);
    w.u16(static_cast<uint16_t>(dialog.controls.size()));
    for (const control_template& c : dialog.controls) {
        w.u32(c.style);
        w.u32(c.ex_style);
        for (short v : {c.x, c.y, c.cx, c.cy}) w.u16(static_cast<uint16_t>(v));
        w.u32(static_cast<uint32_t>(c.id));
        w.text(c.class_name);
        w.text(c.text);
    }
    win_user::register_kept_resource(module, RT_DIALOG, MAKEINTRESOURCEW(id), w.take());
}

bool parse_dialog(const void* bytes, size_t size, dialog_template* out) {
    win_user::resource_reader r(bytes, size);
    char head[4];
    uint16_t v = 0, count = 0;
    dialog_template d;
    if (!r.bytes(head, 4) || std::memcmp(head, magic, 4) != 0 || !r.u16(&v) || v != version)
        return false;
    uint32_t style, ex_style;
    if (!r.u32(&style) || !r.u32(&ex_style) || !r.i16(&d.x) || !r.i16(&d.y) || !r.i16(&d.cx) ||
        !r.i16(&d.cy) || !r.u16(&d.point_size) || !r.text(&d.caption) || !r.text(&d.font_face) ||
        !r.text(&d.class_name) || !r.u16(&count) || count > most_controls)
        return false;
    d.style = style;
    d.ex_style = ex_style;
    for (uint16_t i = 0; i < count; ++i) {
        control_template c;
        uint32_t cs, cex, id;
        if (!r.u32(&cs) || !r.u32(&cex) || !r.i16(&c.x) || !r.i16(&c.y) || !r.i16(&c.cx) ||
            !r.i16(&c.cy) || !r.u32(&id) || !r.text(&c.class_name) || !r.text(&c.text))
            return false;
        c.style = cs;
        c.ex_style = cex;
        c.id = static_cast<int>(id);
        d.controls.push_back(std::move(c));
    }
    if (!r.at_end()) return false;
    *out = std::move(d);
    return true;
}

}  // namespace win_dialogs
