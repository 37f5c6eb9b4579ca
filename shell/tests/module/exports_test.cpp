// The shared object shows the host its four exports and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

TEST(Exports, TheModuleExportsExactlyItsFourEntryPoints) {
    const std::string command = std::string("nm -D --defined-only '") + CALVIMORA_MODULE + "'";
    FILE* output = popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    std::set<std::string> symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, output)) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (fields >> address >> kind >> name) symbols.insert(name);
    }
    ASSERT_EQ(pclose(output), 0);
    EXPECT_EQ(symbols, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                              "DllRegisterServer", "DllUnregisterServer"}));
}

}  // namespace
