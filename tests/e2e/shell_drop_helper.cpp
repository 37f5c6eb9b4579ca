// A shell host of its own process for the drop tests that kill it half-way
// or leave its boxes to their default answers. It loads the extension
// through the registry of the test's machine root, which it inherits, and
// drops onto a folder at the top of the remote storage:
//
//   shell_drop_helper put FOLDER LOCAL_PATH      drops a local file (boxes
//                                                take their default answers)
//   shell_drop_helper copy FROM NAME TO          drags item NAME of folder FROM
//                                                onto folder TO (Yes to questions)
//
// Prints "dropped" with the result and effect when the drop ends.
#include <utf8.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "shell_browser.h"
#include "shell_drop.h"
#include "shell_host.h"
#include "utils/class_ids.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

// The index of the listed item of that name.
int index_of(const shell_host::shell_browser& browser, const std::wstring& name) {
    for (size_t i = 0; i < browser.items().size(); ++i)
        if (browser.items()[i].name == name) return static_cast<int>(i);
    return -1;
}

IDropTarget* target_named(shell_host::shell_browser& browser, const std::wstring& name) {
    const int index = index_of(browser, name);
    if (index < 0) return nullptr;
    return shell_host::drop_target_of(browser.folder(), browser.items()[index].id);
}

// The extension's data object over one item of the current folder.
IDataObject* data_object_of(shell_host::shell_browser& browser, const std::wstring& name) {
    const int index = index_of(browser, name);
    if (index < 0) return nullptr;
    PCUITEMID_CHILD id = browser.items()[index].id;
    void* data = nullptr;
    if (FAILED(browser.folder()->GetUIObjectOf(nullptr, 1, &id, IID_IDataObject, nullptr, &data)))
        return nullptr;
    return static_cast<IDataObject*>(data);
}

int report(const shell_host::drop_outcome& outcome) {
    std::printf("dropped 0x%08X effect %lu\n", static_cast<unsigned>(outcome.result),
                static_cast<unsigned long>(outcome.effect));
    std::fflush(stdout);
    return 0;
}

int put(shell_host::shell_browser& browser, const std::wstring& folder, const std::wstring& path) {
    IDropTarget* target = target_named(browser, folder);
    if (!target) return 3;
    const shell_host::drop_outcome outcome =
        shell_host::drop_local_files(target, {path}, false, false);
    target->Release();
    return report(outcome);
}

int copy(shell_host::shell_browser& browser, const std::wstring& from, const std::wstring& name,
         const std::wstring& to) {
    const int source = index_of(browser, from);
    if (source < 0 || FAILED(browser.enter(static_cast<size_t>(source)))) return 3;
    IDataObject* data = data_object_of(browser, name);
    if (!data || FAILED(browser.up())) return 3;
    IDropTarget* target = target_named(browser, to);
    if (!target) return 3;
    win_test::scoped_message_box_responder yes(
        [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    const shell_host::drop_outcome outcome = shell_host::drop_data_object(target, data, false);
    target->Release();
    data->Release();
    return report(outcome);
}

}  // namespace

int main(int argc, char** argv) {
    const bool is_put = argc == 4 && std::strcmp(argv[1], "put") == 0;
    const bool is_copy = argc == 5 && std::strcmp(argv[1], "copy") == 0;
    if (!is_put && !is_copy) {
        std::fprintf(stderr, "usage: shell_drop_helper put FOLDER PATH | copy FROM NAME TO\n");
        return 2;
    }
    shell_host::com_apartment apartment;
    int status = 1;
    {
        shell_host::shell_browser browser;
        if (FAILED(browser.open(utils::clsid_calvimora_folder)) || FAILED(browser.list())) return 1;
        const auto argument = [&](int i) {
            std::wstring wide;
            utf8::utf8to32(argv[i], argv[i] + std::strlen(argv[i]), std::back_inserter(wide));
            return wide;
        };
        status = is_put ? put(browser, argument(2), argument(3))
                        : copy(browser, argument(2), argument(3), argument(4));
    }
    shell_host::unload_unused_servers();
    return status;
}
