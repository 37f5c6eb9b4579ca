// The data object's stream form as the clipboard hands it back after a
// flush: any bytes are loaded into a new data object over a scripted
// session. A load either fails or gives an object whose selection is whole
// records, whose descriptor group can be asked for, and whose saved form is
// exactly as large as it says; nothing of the task allocator is left behind.
#include <boost/make_shared.hpp>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fake_items.h"
#include "folder/module/folder_session.h"
#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "fuzz_support.h"
#include "win/machine.h"
#include "win/test_journal.h"

namespace {

using calvimora_fuzz::require;

class logged_in_session : public folder_session {
public:
    logged_in_session()
        : root_(boost::make_shared<shell_testing::fake_directory>(
              shell_testing::item_values{L"", L"0"})) {
        root_->children = {shell_testing::make_file(L"a.txt", 12)};
    }
    bool is_logged_in() override { return true; }
    vfs::client_ptr get_client() override {
        return boost::make_shared<shell_testing::fake_client>(root_);
    }
    vfs::user_info get_user_info() override { return get_client()->get_user_info(); }
    bool log_in_with_dialog(HWND) override { return false; }

private:
    boost::shared_ptr<shell_testing::fake_directory> root_;
};

struct process_state {
    win_machine::scoped_root root;
    CCalvimoraModule module;
    logged_in_session session;
    process_state() {
        replace_folder_session(&session);
        CoInitialize(nullptr);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static process_state* state = new process_state;  // for the whole run
    (void)state;
    const long allocations = win_test::live_task_allocations();
    {
        CComObject<CDataObjectImpl>* object = nullptr;
        require(CComObject<CDataObjectImpl>::CreateInstance(&object) == S_OK, "no data object");
        object->AddRef();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        if (size) std::memcpy(GlobalLock(memory), data, size);
        GlobalUnlock(memory);
        IStream* stream = nullptr;
        CreateStreamOnHGlobal(memory, TRUE, &stream);
        if (SUCCEEDED(object->Load(stream))) {
            require(object->GetItemCount() > 0, "a loaded object carries nothing");
            FORMATETC group{
                calvimora_module().Format(CCalvimoraModule::format_file_group_descriptor), nullptr,
                DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
            STGMEDIUM medium{};
            if (SUCCEEDED(object->GetData(&group, &medium))) ReleaseStgMedium(&medium);
            ULARGE_INTEGER promised{};
            require(object->GetSizeMax(&promised) == S_OK, "no size of the saved form");
            IStream* saved = nullptr;
            CreateStreamOnHGlobal(nullptr, TRUE, &saved);
            require(object->Save(saved, TRUE) == S_OK, "a loaded object cannot be saved");
            STATSTG statistics{};
            saved->Stat(&statistics, STATFLAG_NONAME);
            require(statistics.cbSize.QuadPart == promised.QuadPart,
                    "the saved form is not the size promised");
            saved->Release();
        }
        stream->Release();
        object->Release();
    }
    require(win_test::live_task_allocations() == allocations, "task memory was left behind");
    return 0;
}
