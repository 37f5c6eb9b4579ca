// The item table a pass writes over a fixed tree, byte for byte (the
// identity of the local folder and the local files' change times aside): a
// change that makes the scan faster must leave what it decides and stores as
// it was. The expected table lies beside this file, with the local root
// written as "@LOCAL@" and each change time as "@CHANGED@".
#include <boost/algorithm/string/replace.hpp>
#include <regex>

#include "syncer/scan/tests/scan_test_support.h"

namespace syncer::scan_testing {
namespace {

std::string read_whole(const fs::path& path) {
    std::ifstream in(path.native(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

class ScanStoredTable : public scan_test {};

TEST_F(ScanStoredTable, APassOverAFixedTreeWritesTheSameTable) {
    binding owner = bind(L"sync", local);
    // Names that order differently by path element and by plain text, and
    // folders at several depths.
    for (const wchar_t* name :
         {L"a.txt", L"a b.txt", L"a-b.txt", L"B.txt", L"sub/one.txt", L"sub/two.txt",
          L"sub-dir/x.txt", L"sub/deeper/z.txt", L"\u00e9t\u00e9.txt", L"\u65e5\u672c.txt"}) {
        write_local(name, "same", t0);
        remote->put_file(std::wstring(L"sync/") + name, "same", t0);
    }
    write_local(L"only-local.txt", "mine", t0 + 1);
    write_local(L"newer-local.txt", "newer", t0 + 5);
    remote->put_file(L"sync/newer-local.txt", "older", t0);
    remote->put_file(L"sync/only-remote.txt", "theirs", t0 + 2);
    remote->put_file(L"sync/newer-remote/r.txt", "newer", t0 + 9);
    write_local(L"newer-remote/r.txt", "older!", t0 + 3);
    remote->put_file(L"sync/empty.txt", "", t0 + 9);
    ui.answer(message_kind::upload_new, yes);
    ui.answer(message_kind::download_new, no);
    ui.answer(message_kind::upload_newer, yes);
    ui.answer(message_kind::download_newer, no);
    pass();
    pass();

    std::string written = read_whole(items_manager::get_items_path(owner.items_filename, user));
    boost::replace_all(written, local_root.string(), "@LOCAL@");
    // Which folder the local root is differs from run to run: it is checked
    // apart, the records are compared byte for byte.
    const std::size_t identity = written.find("<local_root>");
    ASSERT_NE(identity, std::string::npos);
    const std::string identity_end = "</local_root>";
    written.erase(identity, written.find(identity_end) + identity_end.size() - identity);
    // The local states: size and modification time as they are, the change
    // time whatever the disk made it.
    written = std::regex_replace(written, std::regex("(<local_s[a-z]+>[0-9]+ [0-9]+) [0-9]+<"),
                                 "$1 @CHANGED@<");
    const fs::path expected_file = fs::path(CALVIMORA_SYNCER_TEST_DATA) / "stored_table.xml";
    if (std::getenv("CALVIMORA_WRITE_EXPECTED")) std::ofstream(expected_file.native()) << written;
    EXPECT_EQ(written, read_whole(expected_file));
}

}  // namespace
}  // namespace syncer::scan_testing
