// Builds ODBC connection strings from arbitrary settings and reads them back the way each
// driver does: every value must come back exactly, the driver manager must load the chosen
// driver and nothing else, and a refusal must not show the password.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "ConnectionStringReaders.hpp"
#include "FuzzInput.hpp"
#include "sources/DatabaseError.hpp"
#include "sources/OdbcConnectionString.hpp"

using namespace tablor;

namespace {

using Pairs = std::map<std::string, std::string>;

// FreeTDS: a braced value ends at the first "};"; "}}" stays as it is.
// ODBC: a braced value ends at a lone "}"; "}}" stands for "}".
Pairs ParseOdbc(std::string_view text, bool freeTds) {
    Pairs pairs;
    while (!text.empty()) {
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) std::abort();
        const std::string key(text.substr(0, equals));
        text.remove_prefix(equals + 1);
        std::string value;
        if (!text.empty() && text.front() == '{') {
            text.remove_prefix(1);
            if (freeTds) {
                const auto end = text.find("};");
                if (end == std::string_view::npos) std::abort();
                value = text.substr(0, end);
                text.remove_prefix(end + 1);
            } else {
                for (;;) {
                    if (text.empty()) std::abort();
                    if (text.front() == '}') {
                        if (text.size() > 1 && text[1] == '}') {
                            value += '}';
                            text.remove_prefix(2);
                            continue;
                        }
                        text.remove_prefix(1);
                        break;
                    }
                    value += text.front();
                    text.remove_prefix(1);
                }
            }
        } else {
            const auto end = text.find(';');
            value = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end);
        }
        if (text.empty() || text.front() != ';') std::abort();  // every item ends with ";"
        text.remove_prefix(1);
        if (!pairs.emplace(key, value).second) std::abort();
    }
    return pairs;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) std::abort();
        out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return out;
}

// libpq: key='value' with backslash escapes, separated by spaces.
Pairs ParseLibpq(std::string_view text) {
    Pairs pairs;
    while (!text.empty()) {
        if (text.front() == ' ') {
            text.remove_prefix(1);
            continue;
        }
        const auto equals = text.find("='");
        if (equals == std::string_view::npos) std::abort();
        const std::string key(text.substr(0, equals));
        text.remove_prefix(equals + 2);
        std::string value;
        for (;;) {
            if (text.empty()) std::abort();
            const char c = text.front();
            text.remove_prefix(1);
            if (c == '\'') break;
            if (c == '\\') {
                if (text.empty()) std::abort();
                value += text.front();
                text.remove_prefix(1);
                continue;
            }
            value += c;
        }
        pairs.emplace(key, value);
    }
    return pairs;
}

void Expect(const Pairs& pairs, const std::string& key, const std::string& value) {
    const auto found = pairs.find(key);
    if (found == pairs.end() || found->second != value) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t choice = input.Byte();
    ConnectionSettings settings;
    settings.engine = (choice & 1) != 0 ? DatabaseEngine::PostgreSql : DatabaseEngine::SqlServer;
    settings.integratedSecurity = (choice & 2) != 0;
    const std::string driver = (choice & 4) != 0 ? "FreeTDS" : "ODBC Driver 18 for SQL Server";
    settings.serverName = input.Text();
    settings.databaseName = input.Text();
    settings.userName = input.Text();
    settings.password = input.Text();

    std::string text;
    ServerAddress address;
    try {
        address = ParseServerName(settings.serverName, settings.engine);
        text = BuildOdbcConnectionString(settings, driver);
    } catch (const DatabaseError& error) {
        // A refusal names the setting, never the password's value. A refusal of another
        // setting reads the same whatever the password; a refusal of the password itself
        // holds only the message's own words, which are plain ASCII.
        const std::string& password = settings.password;
        const std::string& description = error.Description();
        if (description.rfind("The password", 0) == 0) {
            const bool distinctive =
                std::any_of(password.begin(), password.end(), [](char c) { return c < 0x20 || c > 0x7E; });
            if (distinctive && description.find(password) != std::string::npos) std::abort();
            return 0;
        }
        ConnectionSettings other = settings;
        other.password = "\x01";
        try {
            ParseServerName(other.serverName, other.engine);
            BuildOdbcConnectionString(other, driver);
        } catch (const DatabaseError& otherError) {
            if (otherError.Description() == description) return 0;
        }
        std::abort();
    }

    if (!tablor::testing::DriverManagerLoadsOnly(text, driver)) std::abort();
    if (settings.engine == DatabaseEngine::PostgreSql) {
        const Pairs outer = ParseOdbc(text, false);
        const auto pqopt = outer.find("pqopt");
        if (pqopt == outer.end()) std::abort();
        const Pairs options = ParseLibpq(PercentDecoded(pqopt->second));
        // No host is the server's local socket: libpq is given none, and finds the socket itself.
        if (address.host.empty()) {
            if (options.count("host") != 0) std::abort();
        } else {
            Expect(options, "host", address.host);
        }
        Expect(options, "dbname", settings.databaseName);
        if (!settings.integratedSecurity) {
            Expect(options, "user", settings.userName);
            Expect(options, "password", settings.password);
        }
        return 0;
    }
    const bool freeTds = IsFreeTdsDriver(driver);
    const Pairs pairs = ParseOdbc(text, freeTds);
    const Pairs asRead =
        freeTds ? tablor::testing::ReadLikeFreeTds(text) : tablor::testing::ReadLikeOdbcStandard(text);
    if (asRead != pairs) std::abort();
    Expect(pairs, "Database", settings.databaseName);
    if (settings.integratedSecurity) {
        if (pairs.count("PWD") != 0 || pairs.count("UID") != 0) std::abort();
    } else {
        Expect(pairs, "UID", settings.userName);
        Expect(pairs, "PWD", settings.password);
    }
    if (freeTds && address.instance.empty()) Expect(pairs, "Server", address.host);
    return 0;
}
