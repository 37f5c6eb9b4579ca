// Remote names read as upload names, which the listing of a folder turns
// into the session-wide name of an upload in progress: whatever the name,
// the token read is empty or eight lower-case hexadecimal digits that the
// name ends with before ".uploading"; and every name the upload draws
// reads back as one, however long the file's own name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "folder/drop/set_aside.h"
#include "fuzz_support.h"

using calvimora_fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::wstring& name : calvimora_fuzz::texts_of(data, size)) {
        const std::wstring token = shell_upload::upload_token(name);
        if (!token.empty()) {
            require(token.size() == 8 &&
                        token.find_first_not_of(L"0123456789abcdef") == std::wstring::npos,
                    "a token that is not eight hexadecimal digits");
            const std::wstring tail = L"." + token + L".uploading";
            require(name.size() >= tail.size() + 1 && name.front() == L'~' &&
                        name.compare(name.size() - tail.size(), tail.size(), tail) == 0,
                    "a token read from a name that is no upload name");
        }
        const std::wstring drawn = shell_upload::upload_name(name);
        require(drawn.size() <= 255, "an upload name longer than the service takes");
        require(shell_upload::upload_token(drawn).size() == 8, "a drawn name that reads as none");
    }
    return 0;
}
