// The program of a registered command line, as the association queries
// take it from "shell\<verb>\command" (text any installer may have written).
// Each text of the input is a command line: the program found is a part of
// it, holds no quote when the line starts with one (after blanks) and no
// blank otherwise, and is found again in a line that quotes it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "win/shell_assoc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using calvimora_fuzz::require;
    for (const std::wstring& command : calvimora_fuzz::texts_of(data, size)) {
        const std::wstring program = win_shell::command_executable(command);
        require(command.find(program) != std::wstring::npos, "the program is part of the line");
        const size_t start = command.find_first_not_of(L" \t");
        if (start != std::wstring::npos && command[start] == L'"')
            require(program.find(L'"') == std::wstring::npos, "a quoted program holds no quote");
        else
            require(program.find_first_of(L" \t") == std::wstring::npos,
                    "an unquoted program holds no blank");
        if (program.find(L'"') == std::wstring::npos)
            require(win_shell::command_executable(L"\"" + program + L"\" \"%1\"") == program,
                    "a quoted program is found whole");
    }
    return 0;
}
