// A hostile value in any part of a live address never makes the ODBC driver manager load a
// library of its choosing: a library that leaves a mark when loaded stays unloaded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "TempFolder.hpp"
#include "cli/CliApp.hpp"

namespace tablor::cli {
namespace {

std::string PercentEncoded(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) != 0) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

TEST(DriverInjection, HostileValuesNeverLoadALibrary) {
    tablor::testing::TempFolder folder;
    const std::string mark = folder.Path() + "/loaded";
    ::setenv("TABLOR_MARK_FILE", mark.c_str(), 1);
    const std::string library = TABLOR_MARK_LIBRARY;
    const std::string injected = "x}Driver=" + library + ";X={";
    const std::string encoded = PercentEncoded(injected);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"sqlserver://sa@127.0.0.1:1?database=" + encoded, "pw"},
        {"sqlserver://" + encoded + "@127.0.0.1:1?database=Sales", "pw"},
        {"sqlserver://sa@127.0.0.1/" + encoded + "?database=Sales", "pw"},
        {"sqlserver://sa@127.0.0.1:1?database=Sales", injected},
        {"postgresql://sa@127.0.0.1:1/" + encoded, injected},
    };
    for (const auto& [address, password] : cases) {
        CliEnvironment environment;
        environment.passwordVariable = password;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCli({"show", address}, out, err, environment), kTrouble) << address;
        EXPECT_FALSE(std::filesystem::exists(mark)) << address << "\n" << err.str();
    }
    ::unsetenv("TABLOR_MARK_FILE");
}

}  // namespace
}  // namespace tablor::cli
