// A hostile value in any part of a live address never makes the ODBC driver manager, or the
// client library under a driver, load a library or run a statement of its choosing: a library
// that leaves a mark when loaded stays unloaded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "MariaDbServer.hpp"
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

// MariaDB's client library reads a host holding ";" as options of its own: a plugin folder and
// default authentication plugin (which loads the plugin), an init command, another host. Each
// such address is refused before anything connects, naming the setting and not the value.
TEST(DriverInjection, HostsThatMariaDbsClientWouldReadAsOptionsAreRefused) {
    const auto& server = tablor::testing::MariaDbServer::Get();
    tablor::testing::TempFolder plugins;
    ASSERT_EQ(::symlink(TABLOR_MARK_LIBRARY, plugins.File("mark.so").c_str()), 0);
    const std::string mark = plugins.File("loaded");
    ::setenv("TABLOR_MARK_FILE", mark.c_str(), 1);
    const std::string hosts[] = {
        server.host + ";plugin-dir=" + plugins.Path() + ";default-auth=mark",
        server.host + ";init-command=CREATE DATABASE tablor_pwned",
        "nowhere.invalid;host=" + server.host + ";init-command=CREATE DATABASE tablor_pwned",
    };
    for (const std::string& host : hosts) {
        CliEnvironment environment;
        environment.passwordVariable = server.password;
        std::ostringstream out;
        std::ostringstream err;
        const std::string address =
            "mysql://" + server.user + "@" + PercentEncoded(host) + ":" + server.port + "/tablor_shop";
        EXPECT_EQ(RunCli({"show", address}, out, err, environment), kTrouble) << host;
        EXPECT_THAT(err.str(), ::testing::HasSubstr("The server name holds characters")) << host;
    }
    EXPECT_FALSE(std::filesystem::exists(mark));
    ::unsetenv("TABLOR_MARK_FILE");

    CliEnvironment environment;
    environment.passwordVariable = server.password;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli({"show", server.Address("tablor_pwned")}, out, err, environment), kTrouble);
    EXPECT_THAT(err.str(), ::testing::HasSubstr("Unknown database"));
}

}  // namespace
}  // namespace tablor::cli
