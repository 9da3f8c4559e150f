#include "sources/OdbcConnectionString.hpp"

#include <cctype>
#include <optional>

#include "support/TextCase.hpp"

namespace tablor {
namespace {

constexpr std::string_view kSqlServerPort = "1433";

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string LocalHostAlias(std::string host) {
    if (host == "." || EqualsIgnoreCase(host, "(local)")) return "localhost";
    return host;
}

// What a setting is called in messages: the password's value must never be shown.
struct Setting {
    std::string_view name;
    std::string_view value;
    bool secret = false;
};

[[noreturn]] void Refuse(const Setting& setting, std::string_view why) {
    std::string text = "The " + std::string(setting.name);
    if (!setting.secret) text += " \"" + std::string(setting.value) + "\"";
    text += " " + std::string(why);
    throw DatabaseError(text);
}

void CheckNoNul(const Setting& setting) {
    if (setting.value.find('\0') != std::string_view::npos) Refuse(setting, "contains a NUL character.");
}

std::string FreeTdsQuoted(const Setting& setting) {
    CheckNoNul(setting);
    if (setting.value.find("};") != std::string_view::npos)
        Refuse(setting, "contains \"};\", which the FreeTDS driver cannot receive.");
    return "{" + std::string(setting.value) + "}";
}

std::string OdbcQuoted(const Setting& setting) {
    CheckNoNul(setting);
    std::string out = "{";
    for (const char c : setting.value) {
        out += c;
        if (c == '}') out += '}';
    }
    out += '}';
    return out;
}

// libpq's option syntax: key='value' with backslash and quote escaped.
void AppendLibpqOption(std::string& options, std::string_view key, const Setting& setting) {
    CheckNoNul(setting);
    if (!options.empty()) options += ' ';
    options += key;
    options += "='";
    for (const char c : setting.value) {
        if (c == '\\' || c == '\'') options += '\\';
        options += c;
    }
    options += '\'';
}

std::string PercentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 && byte < 0x80) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string SqlServerString(const ConnectionSettings& settings, std::string_view driver) {
    const bool freeTds = IsFreeTdsDriver(driver);
    auto quoted = [freeTds](const Setting& setting) {
        return freeTds ? FreeTdsQuoted(setting) : OdbcQuoted(setting);
    };
    const ServerAddress address = ParseServerName(settings.serverName, DatabaseEngine::SqlServer);

    std::string text = "Driver=" + OdbcQuoted({"driver name", driver}) + ";";
    if (freeTds) {
        if (address.instance.empty()) {
            text += "Server=" + quoted({"server name", address.host}) + ";";
            const std::string port = address.port.empty() ? std::string(kSqlServerPort) : address.port;
            text += "Port=" + quoted({"port", port}) + ";";
        } else {
            text += "Server=" + quoted({"server name", address.host + "\\" + address.instance}) + ";";
        }
    } else {
        std::string server = address.host;
        if (!address.port.empty())
            server += "," + address.port;
        else if (!address.instance.empty())
            server += "\\" + address.instance;
        text += "Server=" + quoted({"server name", server}) + ";";
    }
    text += "Database=" + quoted({"database name", settings.databaseName}) + ";";
    if (settings.integratedSecurity) {
        text += "Trusted_Connection=" + quoted({"", "Yes"}) + ";";
    } else {
        text += "UID=" + quoted({"user name", settings.userName}) + ";";
        text += "PWD=" + quoted({"password", settings.password, true}) + ";";
    }
    if (freeTds) {
        text += "TDS_Version=" + quoted({"", "7.4"}) + ";";
        text += "ClientCharset=" + quoted({"", "UTF-8"}) + ";";
    }
    return text;
}

std::string PostgreSqlString(const ConnectionSettings& settings, std::string_view driver) {
    const ServerAddress address = ParseServerName(settings.serverName, DatabaseEngine::PostgreSql);
    std::string options;
    AppendLibpqOption(options, "host", {"server name", address.host});
    if (!address.port.empty()) AppendLibpqOption(options, "port", {"port", address.port});
    AppendLibpqOption(options, "dbname", {"database name", settings.databaseName});
    if (!settings.integratedSecurity) {
        AppendLibpqOption(options, "user", {"user name", settings.userName});
        AppendLibpqOption(options, "password", {"password", settings.password, true});
    }
    // The driver's own logs would hold the option string, password included: keep them off.
    return "Driver=" + OdbcQuoted({"driver name", driver}) + ";pqopt=" + PercentEncoded(options) +
           ";CommLog=0;Debug=0;";
}

}  // namespace

bool IsPortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

ServerAddress ParseServerName(std::string_view serverName, DatabaseEngine engine) {
    ServerAddress address;
    std::string_view rest = serverName;
    std::optional<std::string_view> port;

    if (const auto comma = rest.rfind(','); comma != std::string_view::npos) {
        port = rest.substr(comma + 1);
        rest = rest.substr(0, comma);
    } else if (engine == DatabaseEngine::PostgreSql) {
        // host:port, [v6-address]:port; a bare v6 address has more than one colon.
        const auto colon = rest.rfind(':');
        const bool bracketed = !rest.empty() && rest.front() == '[';
        if (colon != std::string_view::npos &&
            (bracketed ? colon > 0 && rest[colon - 1] == ']' : rest.find(':') == colon)) {
            port = rest.substr(colon + 1);
            rest = rest.substr(0, colon);
        }
    }
    if (port) {
        const std::string digits = Trimmed(*port);
        if (!IsPortNumber(digits))
            throw DatabaseError("The server name \"" + std::string(serverName) +
                                "\" gives a port that is not a number from 1 to 65535.");
        address.port = digits;
    }
    if (engine == DatabaseEngine::SqlServer) {
        if (const auto slash = rest.find('\\'); slash != std::string_view::npos) {
            if (address.port.empty()) address.instance = Trimmed(rest.substr(slash + 1));
            rest = rest.substr(0, slash);
        }
    }
    address.host = Trimmed(rest);
    if (engine == DatabaseEngine::PostgreSql && address.host.size() > 2 && address.host.front() == '[' &&
        address.host.back() == ']')
        address.host = address.host.substr(1, address.host.size() - 2);
    address.host = LocalHostAlias(address.host);
    return address;
}

bool IsFreeTdsDriver(std::string_view driver) {
    const std::string folded = FoldCase(driver);
    return folded.find("freetds") != std::string::npos || folded.find("tdsodbc") != std::string::npos;
}

std::string BuildOdbcConnectionString(const ConnectionSettings& settings, std::string_view driver) {
    return settings.engine == DatabaseEngine::PostgreSql ? PostgreSqlString(settings, driver)
                                                         : SqlServerString(settings, driver);
}

}  // namespace tablor
