// The rows as they are drawn: the progress bar of each state, a failed
// row's tooltip, and rows too narrow for their text.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "sync_messages.h"
#include "sync_test_support.h"
#include "syncer/core/exceptions.h"
#include "win/shell_notify_icon.h"

namespace sync_test {
namespace {

using syncer::task;
using toolkit_test::describe;
using toolkit_test::picture;

const syncer::binding saved =
    sync_samples::folder_pair(L"Calvimora", L"C:\\Saved", syncer::binding::type_saved_files);

bool is_red(const Gdiplus::Color& c) {
    return c.GetR() > c.GetG() + 100 && c.GetR() > c.GetB() + 100;
}

class Rows : public SyncWindowTest {
protected:
    // The rows of a pair, which have no buttons over their bars: points near
    // the start of each bar, in its middle and near its end, by file name.
    std::map<std::wstring, std::vector<Gdiplus::Color>> bars_of(const std::string& name) {
        const picture p(window, name);
        std::map<std::wstring, std::vector<Gdiplus::Color>> bars;
        for (const auto& child : groups().at(0)->GetRows()) {
            const auto* row = dynamic_cast<CCMListCtrlItem*>(child.get());
            const CRect place = window.GetControlRect(row);
            for (int x : {10, place.Width() / 2, place.Width() - 10, place.Width() - 2})
                bars[row->GetTask().get_filename()].push_back(p.at(place.left + x, place.top + 15));
        }
        return bars;
    }
};

TEST_F(Rows, TheBarShowsTheProgressAndAFailureFullAndRed) {
    scripted_engine& e = start({task_in(pair, L"failed", task::state_failed, 10),
                                task_in(pair, L"thirty", task::state_running, 30),
                                task_in(pair, L"none", task::state_running, 0),
                                task_in(pair, L"done", task::state_running, 100)});
    refresh();
    ASSERT_TRUE(window.IsWindowVisible());
    auto bars = bars_of("sync-rows-progress");
    ASSERT_EQ(bars.size(), 4u);
    const std::vector<Gdiplus::Color> open = bars[L"none"], full = bars[L"done"];
    // The last point lies under the bar's right end piece.
    for (int point = 0; point < 3; ++point) {
        SCOPED_TRACE(point);
        EXPECT_NE(open[point].GetValue(), full[point].GetValue());
        EXPECT_TRUE(is_red(bars[L"failed"][point])) << describe(bars[L"failed"][point]);
    }
    EXPECT_EQ(bars[L"thirty"][0].GetValue(), full[0].GetValue());
    EXPECT_EQ(bars[L"thirty"][1].GetValue(), open[1].GetValue());

    // Unknown progress is no progress; beyond done is done.
    e.set_tasks({task_in(pair, L"unknown", task::state_running, -1),
                 task_in(pair, L"beyond", task::state_running, 150)});
    refresh();
    bars = bars_of("sync-rows-progress-out-of-range");
    for (int point = 0; point < 4; ++point) {
        SCOPED_TRACE(point);
        EXPECT_EQ(bars[L"unknown"][point].GetValue(), open[point].GetValue())
            << describe(bars[L"unknown"][point]);
        EXPECT_EQ(bars[L"beyond"][point].GetValue(), full[point].GetValue())
            << describe(bars[L"beyond"][point]);
    }
}

TEST_F(Rows, AFailedRowTellsItsFailureInItsTooltip) {
    const task failed = sync_samples::make_sized_upload(saved, L"Calvimora", scratch, L"big.iso",
                                                        3 << 20, task::state_failed);
    ASSERT_NE(failed.get_error_kind(), 0);
    start({failed, task_in(saved, L"fine", task::state_running)});
    refresh();
    // Running before failed.
    std::vector<CCMListCtrlItem*> rows = plain_rows();
    ASSERT_EQ(rows.size(), 2u);
    std::swap(rows[0], rows[1]);
    EXPECT_EQ(rows[0]->GetToolTipText(),
              FormatSyncMessage(failed.get_error_kind(), L"Calvimora", scratch.wstring(),
                                L"big.iso", failed.get_message()));
    EXPECT_NE(rows[0]->GetToolTipText().find(L"Opening remote dir 'Calvimora' failed."),
              std::wstring::npos);
    EXPECT_EQ(TaskRowText(rows[0]->GetTask()), L"big.iso (3 MB)");
    EXPECT_TRUE(rows[1]->GetToolTipText().empty());
}

// A row too narrow for any text leaves it out: a box without room would be
// a box without limit, and the text would run over the whole row.
TEST_F(Rows, ARowTooNarrowForItsTextShowsNone) {
    // The folder names a task of a folder; without both nothing is drawn.
    const auto narrow_row = [&](const std::wstring& name, const std::string& picture_name) {
        toolkit_test::recording_window narrow;
        EXPECT_TRUE(narrow.Create(CRect(100, 100, 200, 200), TRUE));
        CCMListCtrl list;
        list.Create(&narrow, nullptr, 0, 0, 45, 100, 1004, L"", 0);
        list.SetRows({CAlphaRowKey(sync_samples::make_task(pair, task::kind_download, L"Docs", name,
                                                           name, task::state_running))},
                     {CAlphaRowKey(pair)}, TRUE);
        const auto* group = dynamic_cast<CCMListCtrlItemGroup*>(list.GetRows().at(0).get());
        const CRect row = narrow.GetControlRect(group->GetRows().at(0).get());
        EXPECT_LT(row.Width(), 35);
        const picture p(narrow, picture_name);
        std::vector<Gdiplus::ARGB> band;
        for (int x = row.left + 20; x < row.right; ++x)
            for (int y = row.top + 7; y < row.top + 27; ++y) band.push_back(p.at(x, y).GetValue());
        return band;
    };
    EXPECT_EQ(narrow_row(L"WWWWWWWW", "sync-row-narrow"), narrow_row(L"", "sync-row-narrow-empty"));
}

// A person on the terminal: what is typed comes to standard input through a
// pipe, and what the program prints to standard error goes to a file, for
// the life of the object.
class terminal_person {
public:
    terminal_person(const std::string& typed, std::string printed) : printed_(std::move(printed)) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        EXPECT_EQ(write(ends[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        close(ends[1]);
        saved_input_ = dup(STDIN_FILENO);
        dup2(ends[0], STDIN_FILENO);
        close(ends[0]);
        saved_errors_ = dup(STDERR_FILENO);
        const int file = open(printed_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        close(file);
        setenv("CALVIMORA_ANSWERS", "terminal", 1);
    }
    ~terminal_person() {
        dup2(saved_input_, STDIN_FILENO);
        dup2(saved_errors_, STDERR_FILENO);
        close(saved_input_);
        close(saved_errors_);
        setenv("CALVIMORA_ANSWERS", "default", 1);
    }
    terminal_person(const terminal_person&) = delete;
    terminal_person& operator=(const terminal_person&) = delete;

    std::string printed() const {
        std::ifstream in(printed_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string printed_;
    int saved_input_ = -1;
    int saved_errors_ = -1;
};

// A person on the terminal cannot hover a failed row for its reason: the
// tray's command "r" prints every row with its state, and under a failed
// row the reason its tooltip gives.
TEST_F(Rows, TheTerminalCommandListsTheRowsWithAFailedRowsReason) {
    const task failed = sync_samples::make_sized_upload(saved, L"Calvimora", scratch, L"big.iso",
                                                        12, task::state_failed);
    start({failed, task_in(pair, L"Quarterly report.docx", task::state_running, 62),
           task_in(pair, L"held.txt", task::state_stopped)});
    refresh();
    terminal_person person("nonsense\nr\n", scratch.string() + "/printed.txt");
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window.m_hWnd;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
    const auto printed_rows = [&] {
        return person.printed().find("[rows] C:\\Users") != std::string::npos;
    };
    EXPECT_TRUE(win_test::pump_until(printed_rows, std::chrono::seconds(20)));
    // Let the whole listing be printed: it is written on this thread.
    win_test::pump();
    Shell_NotifyIconW(NIM_DELETE, &icon);
    const std::string printed = person.printed();
    EXPECT_NE(printed.find("r lists the sync window's rows"), std::string::npos) << printed;
    // The reason as the row's tooltip gives it, its first line under the row.
    std::wstring reason = FormatSyncMessage(failed.get_error_kind(), L"Calvimora",
                                            scratch.wstring(), L"big.iso", failed.get_message());
    reason = reason.substr(0, reason.find(L'\n'));
    ASSERT_FALSE(reason.empty());
    EXPECT_NE(
        printed.find("[rows] big.iso (12 bytes): failed\n[rows]     " + syncer::to_utf8(reason)),
        std::string::npos)
        << printed;
    // The folder pair's rows below it, in the list's order.
    size_t at = 0;
    for (const std::string line :
         {"[rows] C:\\Users\\Ann\\Documents <-> Documents\n",
          "[rows]   Quarterly report.docx: running 62%\n", "[rows]   held.txt: stopped\n"}) {
        at = printed.find(line, at);
        EXPECT_NE(at, std::string::npos) << line << " in " << printed;
        if (at == std::string::npos) break;
    }
}

}  // namespace
}  // namespace sync_test
