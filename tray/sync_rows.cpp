#include "sync_rows.h"

#include <algorithm>

#include "sync_messages.h"
#include "ui/alpha_window.h"
#include "ui/resource_ids.h"

using Gdiplus::Color;

struct CCMRowStyle {
    std::unique_ptr<Gdiplus::Font> row_font = MakeArialFont(8);
    std::unique_ptr<Gdiplus::Font> group_font = MakeArialFont(6);
    Gdiplus::StringFormat trimmed{Gdiplus::StringFormatFlagsLineLimit};
    Gdiplus::SolidBrush row_text{Color(0xFFFFFFFF)};
    Gdiplus::SolidBrush group_text{Color(0xFF324667)};
    Gdiplus::SolidBrush failed_fill{Color(0xFFFF0000)};
    Gdiplus::SolidBrush fill{Color(0xFF64788C)};
    Gdiplus::SolidBrush child_fill{Color(0xFF96A0B4)};

    CCMRowStyle() { trimmed.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter); }
};

namespace {

HINSTANCE resources() {
    return AfxGetResourceHandle();
}

bool is_halted(int state) {
    return state == syncer::task::state_stopped || state == syncer::task::state_failed;
}

// Text in a box at (x, y); nothing when the box has no room (a zero width
// would mean no limit at all).
void draw_text(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font* font,
               const Gdiplus::StringFormat& format, const Gdiplus::Brush& brush, int x, int y,
               int width, int height) {
    if (width <= 0 || height <= 0) return;
    graphics.DrawString(
        text.c_str(), -1, font,
        Gdiplus::RectF(static_cast<Gdiplus::REAL>(x), static_cast<Gdiplus::REAL>(y),
                       static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height)),
        &format, &brush);
}

// Keeps a button at (x, y) at its own size.
void place(CAlphaWindow* window, CCMButton& button, int x, int y) {
    const CRect& now = button.GetRect();
    window->SetRect(&button, CRect(x, y, x + now.Width(), y + now.Height()), FALSE);
}

// The message one of a row's buttons stands for; 0 for anything else.
UINT row_message_of(UINT message, WPARAM wparam, int cancel_id, int resume_id, int stop_id) {
    if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED) return 0;
    const int id = LOWORD(wparam);
    if (id == cancel_id) return row_cancel_message;
    if (id == resume_id) return row_resume_message;
    if (id == stop_id) return row_stop_message;
    return 0;
}

}  // namespace

std::wstring TaskRowText(const syncer::task& task) {
    std::wstring text = task.get_filename().empty() ? task.get_dir_local() : task.get_filename();
    const std::int64_t size = task.get_state().size;
    if (size >= 0) text += L" (" + FormatSyncSize(size) + L")";
    return text;
}

// ---- Task rows --------------------------------------------------------------

CCMListCtrlItem::CCMListCtrlItem(const syncer::task& task, const CCMRowStyle& style)
    : m_task(task), m_status(m_task.get_state()), m_style(style) {}

BOOL CCMListCtrlItem::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top,
                             int right, int bottom, int id, const std::wstring& tooltip, int data) {
    const bool child = data == 1;
    const int bar = child ? IDB_CHILD_BAR_LEFT : IDB_BAR_LEFT;
    LoadImageSlot(m_barLeft, bar, resources());
    LoadImageSlot(m_barMiddle, bar + 1, resources());
    LoadImageSlot(m_barRight, bar + 2, resources());
    const bool upload = m_task.get_kind() == syncer::task::kind_upload;
    LoadImageSlot(m_icon, upload ? IDB_UPLOAD_ICON : IDB_DOWNLOAD_ICON, resources());
    LoadImageSlot(m_iconBlink, upload ? IDB_UPLOAD_ICON_BLINK : IDB_DOWNLOAD_ICON_BLINK,
                  resources());

    const std::wstring tip =
        m_status.state == syncer::task::state_failed
            ? FormatSyncMessage(m_task.get_error_kind(), m_task.get_dir_remote(),
                                m_task.get_dir_local(), m_task.get_filename(), m_task.get_message())
            : tooltip;
    if (!CAlphaListCtrlItem::Create(window, parent, left, top, right, bottom, id, tip, data))
        return FALSE;

    if (!child) {
        const int width = m_rect.Width();
        const bool halted = is_halted(m_status.state);
        const bool active = m_status.state == syncer::task::state_queued ||
                            m_status.state == syncer::task::state_running;
        m_cancel = std::make_unique<CCMButton>();
        m_resume = std::make_unique<CCMButton>();
        m_stop = std::make_unique<CCMButton>();
        m_cancel->Create(window, this, cancel_id, IDB_BUTTON_CANCEL, L"Cancel", width - 170, 5);
        m_resume->Create(window, this, resume_id, IDB_BUTTON_RESUME, L"Resume", width - 86, 5);
        m_stop->Create(window, this, stop_id, IDB_BUTTON_STOP, L"Stop", width - 86, 5);
        window->SetVisible(m_cancel.get(), halted, FALSE);
        window->SetVisible(m_resume.get(), halted, FALSE);
        window->SetVisible(m_stop.get(), active, FALSE);
    }
    window->SetTimer(row_timer_id, row_timer_ms);
    return TRUE;
}

bool CCMListCtrlItem::IsRowOf(const CAlphaRowKey& key) {
    const auto* task = std::any_cast<syncer::task>(&key);
    const syncer::task::less less;
    return task && !less(*task, m_task) && !less(m_task, *task);
}

void CCMListCtrlItem::OnMove(const CRect& rect) {
    if (!m_window || !m_stop) return;
    const int width = rect.Width();
    place(m_window, *m_cancel, width - 170, 5);
    place(m_window, *m_resume, width - 86, 5);
    place(m_window, *m_stop, width - 86, 5);
}

void CCMListCtrlItem::Paint(HDC dc) {
    const int width = m_rect.Width();
    const bool child = IsChild();
    Gdiplus::Graphics graphics(dc);

    const int bar_width = std::max(0, width - 5);
    const int fill_height = std::max(0, m_barMiddle.GetHeight() - 4);
    if (m_status.state == syncer::task::state_failed) {
        graphics.FillRectangle(&m_style.failed_fill, 2, 3, bar_width, fill_height);
    } else {
        // The engine reports -1 while it does not know; nothing is ever
        // more than done.
        const int filled = bar_width * std::clamp(m_status.progress, 0, 100) / 100;
        if (filled > 0)
            graphics.FillRectangle(child ? &m_style.child_fill : &m_style.fill, 2, 3, filled,
                                   fill_height);
    }
    m_barLeft.Draw(dc, 0, 1);
    m_barMiddle.DrawTiled(dc, CRect(m_barLeft.GetWidth(), 1, width - m_barRight.GetWidth(),
                                    1 + m_barMiddle.GetHeight()));
    m_barRight.Draw(dc, width - m_barRight.GetWidth(), 1);

    const bool running = m_status.state == syncer::task::state_running;
    (running && m_blink ? m_iconBlink : m_icon).Draw(dc, 10, 8);

    const int text_width = child                       ? width - 35
                           : is_halted(m_status.state) ? width - 200
                                                       : width - 120;
    draw_text(graphics, TaskRowText(m_task), m_style.row_font.get(), m_style.trimmed,
              m_style.row_text, 23, 7, text_width, 20);
}

LRESULT CCMListCtrlItem::OnNotify(UINT message, WPARAM wparam, LPARAM) {
    const UINT forward = row_message_of(message, wparam, cancel_id, resume_id, stop_id);
    if (!forward || !m_window) return 0;
    // Last: the window may rebuild the list, and this row with it.
    m_window->Notify(this, forward, reinterpret_cast<WPARAM>(&m_task), 0);
    return 1;
}

void CCMListCtrlItem::OnTimer(UINT_PTR id) {
    if (id != row_timer_id) return;
    m_blink = !m_blink;
    if (m_status.state == syncer::task::state_running && m_window) m_window->Invalidate(this);
}

// ---- Group rows ---------------------------------------------------------------

CCMListCtrlItemGroup::CCMListCtrlItemGroup(const syncer::binding& binding, const CCMRowStyle& style)
    : m_binding(binding), m_style(style) {}

BOOL CCMListCtrlItemGroup::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top,
                                  int right, int bottom, int id, const std::wstring& tooltip,
                                  int data) {
    for (int i = 0; i < 9; ++i) LoadImageSlot(m_frame[i], IDB_GROUP_TOP_LEFT + i, resources());
    LoadImageSlot(m_icon, IDB_GROUP_ICON, resources());
    LoadImageSlot(m_iconBlink, IDB_GROUP_ICON_BLINK, resources());
    if (!CAlphaListCtrlItemGroup::Create(window, parent, left, top, right, bottom, id, tooltip,
                                         data))
        return FALSE;
    const int width = m_rect.Width();
    m_resume.Create(window, this, resume_id, IDB_BUTTON_RESUME, L"Resume", width - 90, 7);
    m_cancel.Create(window, this, cancel_id, IDB_BUTTON_CANCEL, L"Cancel", width - 175, 7);
    m_stop.Create(window, this, stop_id, IDB_BUTTON_STOP, L"Stop", width - 90, 7);
    FollowStates();
    window->SetTimer(row_timer_id, row_timer_ms);
    return TRUE;
}

CAlphaListCtrlItem* CCMListCtrlItemGroup::Add(const CAlphaRowKey& key) {
    CAlphaListCtrlItem* added = CAlphaListCtrlItemGroup::Add(key);
    FollowStates();
    return added;
}

void CCMListCtrlItemGroup::Remove(const CAlphaRowKey& key) {
    CAlphaListCtrlItemGroup::Remove(key);
    FollowStates();
}

void CCMListCtrlItemGroup::FollowStates() {
    size_t stopped = 0;
    m_anyRunning = false;
    for (const auto& row : m_rows) {
        const auto* item = dynamic_cast<const CCMListCtrlItem*>(row.get());
        if (!item) continue;
        const int state = item->GetTask().get_state().state;
        stopped += state == syncer::task::state_stopped;
        m_anyRunning = m_anyRunning || state == syncer::task::state_running;
    }
    m_allStopped = stopped == m_rows.size();
    if (!m_window) return;
    m_window->SetVisible(&m_resume, m_allStopped, FALSE);
    m_window->SetVisible(&m_cancel, m_allStopped, FALSE);
    m_window->SetVisible(&m_stop, !m_allStopped, FALSE);
}

bool CCMListCtrlItemGroup::IsRowOf(const CAlphaRowKey& key) {
    const auto* binding = std::any_cast<syncer::binding>(&key);
    return binding && binding->is_same_as(m_binding);
}

void CCMListCtrlItemGroup::OnMove(const CRect& rect) {
    CAlphaListCtrlItemGroup::OnMove(rect);
    if (!m_window) return;
    const int width = rect.Width();
    place(m_window, m_resume, width - 90, 7);
    place(m_window, m_stop, width - 90, 7);
    place(m_window, m_cancel, width - 175, 7);
}

void CCMListCtrlItemGroup::Paint(HDC dc) {
    const int W = m_rect.Width(), H = m_rect.Height();
    const CImageSlot* f = m_frame;
    f[0].Draw(dc, 0, 0);
    f[1].DrawTiled(dc, CRect(f[0].GetWidth(), 0, W - f[2].GetWidth(), f[1].GetHeight()));
    f[2].Draw(dc, W - f[2].GetWidth(), 0);
    f[3].DrawTiled(dc, CRect(0, f[0].GetHeight(), f[3].GetWidth(), H - f[6].GetHeight()));
    f[4].DrawTiled(
        dc, CRect(f[3].GetWidth(), f[1].GetHeight(), W - f[5].GetWidth(), H - f[7].GetHeight()));
    f[5].DrawTiled(dc, CRect(W - f[5].GetWidth(), f[2].GetHeight(), W, H - f[8].GetHeight()));
    f[6].Draw(dc, 0, H - f[6].GetHeight());
    f[7].DrawTiled(dc, CRect(f[6].GetWidth(), H - f[7].GetHeight(), W - f[8].GetWidth(), H));
    f[8].Draw(dc, W - f[8].GetWidth(), H - f[8].GetHeight());

    (m_anyRunning && m_blink ? m_iconBlink : m_icon).Draw(dc, 11, 9);

    Gdiplus::Graphics graphics(dc);
    const int text_width = m_allStopped ? W - 210 : W - 125;
    draw_text(graphics, m_binding.dir_local, m_style.group_font.get(), m_style.trimmed,
              m_style.group_text, 32, 7, text_width, 10);
    draw_text(graphics, m_binding.dir_remote, m_style.group_font.get(), m_style.trimmed,
              m_style.group_text, 32, 15, text_width, 10);
}

LRESULT CCMListCtrlItemGroup::OnNotify(UINT message, WPARAM wparam, LPARAM) {
    const UINT forward = row_message_of(message, wparam, cancel_id, resume_id, stop_id);
    if (!forward || !m_window) return 0;
    // Last: the window may rebuild the list, and this group with it.
    m_window->Notify(this, forward, reinterpret_cast<WPARAM>(&m_binding), 1);
    return 1;
}

void CCMListCtrlItemGroup::OnTimer(UINT_PTR id) {
    if (id != row_timer_id) return;
    m_blink = !m_blink;
    if (m_anyRunning && m_window) m_window->Invalidate(this);
}

// ---- The list ---------------------------------------------------------------

CCMListCtrl::CCMListCtrl() = default;

CCMListCtrl::~CCMListCtrl() {
    // The rows use the style: they go first.
    m_rows.clear();
}

BOOL CCMListCtrl::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                         int bottom, int id, const std::wstring& tooltip, int data) {
    m_style = std::make_unique<CCMRowStyle>();
    return CAlphaListCtrl::Create(window, parent, left, top, right, bottom, id, tooltip, data);
}

std::unique_ptr<CAlphaListCtrlItem> CCMListCtrl::CreateItem(const CAlphaRowKey& key) {
    const auto* task = std::any_cast<syncer::task>(&key);
    if (!task || !m_style) return nullptr;
    return std::make_unique<CCMListCtrlItem>(*task, *m_style);
}

std::unique_ptr<CAlphaListCtrlItemGroup> CCMListCtrl::CreateGroup(const CAlphaRowKey& key) {
    const auto* binding = std::any_cast<syncer::binding>(&key);
    if (!binding || !m_style) return nullptr;
    return std::make_unique<CCMListCtrlItemGroup>(*binding, *m_style);
}

std::optional<CCMRowTarget> CCMListCtrl::FindRowTarget(WPARAM wparam, bool group) const {
    for (const auto& row : m_rows) {
        if (group) {
            const auto* found = dynamic_cast<const CCMListCtrlItemGroup*>(row.get());
            if (found && wparam == reinterpret_cast<WPARAM>(&found->GetBinding()))
                return CCMRowTarget{found->GetBinding(), std::nullopt};
            continue;
        }
        const auto* found = dynamic_cast<const CCMListCtrlItem*>(row.get());
        if (found && wparam == reinterpret_cast<WPARAM>(&found->GetTask())) {
            std::optional<CCMRowTarget> target(CCMRowTarget{found->GetTask().get_binding(), {}});
            target->task.emplace(found->GetTask());
            return target;
        }
    }
    return std::nullopt;
}

// ---- Rows as text -----------------------------------------------------------

namespace {

std::wstring state_word(const syncer::task::status& status) {
    switch (status.state) {
        case syncer::task::state_queued:
            return L"queued";
        case syncer::task::state_running:
            return L"running " + std::to_wstring(status.progress) + L"%";
        case syncer::task::state_done:
            return L"done";
        case syncer::task::state_stop_requested:
            return L"stopping";
        case syncer::task::state_stopped:
            return L"stopped";
        case syncer::task::state_failed:
            return L"failed";
        default:
            return L"state " + std::to_wstring(status.state);
    }
}

void describe_task_row(const CCMListCtrlItem& row, const std::wstring& indent, std::wstring& out) {
    out +=
        indent + TaskRowText(row.GetTask()) + L": " + state_word(row.GetTask().get_state()) + L"\n";
    // The tooltip, a line of its own for each of its lines.
    const std::wstring& tip = row.GetToolTipText();
    for (size_t start = 0; start < tip.size();) {
        size_t end = tip.find(L'\n', start);
        if (end == std::wstring::npos) end = tip.size();
        std::wstring line = tip.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) out += indent + L"    " + line + L"\n";
        start = end + 1;
    }
}

}  // namespace

std::wstring DescribeRows(const CCMListCtrl& list) {
    std::wstring out;
    for (const auto& row : list.GetRows()) {
        if (const auto* task_row = dynamic_cast<const CCMListCtrlItem*>(row.get())) {
            describe_task_row(*task_row, L"", out);
        } else if (const auto* group = dynamic_cast<const CCMListCtrlItemGroup*>(row.get())) {
            out +=
                group->GetBinding().dir_local + L" <-> " + group->GetBinding().dir_remote + L"\n";
            for (const auto& child : group->GetRows())
                if (const auto* in_group = dynamic_cast<const CCMListCtrlItem*>(child.get()))
                    describe_task_row(*in_group, L"  ", out);
        }
    }
    return out.empty() ? L"no rows: nothing is being synced\n" : out;
}
