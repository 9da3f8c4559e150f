#include "sources/OdbcConnectionString.hpp"

#include <cctype>
#include <optional>
#include <utility>
#include <vector>

#include "sources/DriverManagerReading.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {

constexpr std::string_view kSqlServerPort = "1433";
// What the server shows as the session's program.
constexpr std::string_view kApplicationName = "Tablor";

// What a setting is called in messages. Refusals name the setting, never its value: the value
// may be a password, or text made to mislead whoever reads the message.
struct Setting {
    std::string_view name;
    std::string_view value;
};

[[noreturn]] void Refuse(const Setting& setting, std::string_view why) {
    throw DatabaseError("The " + std::string(setting.name) + " " + std::string(why));
}

void CheckNoNul(const Setting& setting) {
    if (setting.value.find('\0') != std::string_view::npos) Refuse(setting, "contains a NUL character.");
}

// FreeTDS ends a braced value at the first "};" and keeps "}}" as it is, while the driver
// manager ends it at a lone "}". A value with "}" but no ";" goes unbraced, which both read
// up to the ";"; any other value goes in braces, and the whole string is then checked against
// the driver manager's reading (CheckDriverManagerReading).
std::string FreeTdsQuoted(const Setting& setting) {
    CheckNoNul(setting);
    const std::string_view value = setting.value;
    if (value.find("};") != std::string_view::npos)
        Refuse(setting, "contains \"};\", which the FreeTDS driver cannot receive.");
    if (value.find('}') != std::string_view::npos && value.find(';') == std::string_view::npos &&
        value.front() != '{')
        return std::string(value);
    return "{" + std::string(value) + "}";
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

// A connection string being built: its text, and which setting each stretch of it came from.
class ItemList {
  public:
    void Add(std::string_view key, const Setting& setting, const std::string& quoted) {
        text_ += key;
        text_ += '=';
        text_ += quoted;
        text_ += ';';
        ends_.emplace_back(text_.size(), setting.name);
    }
    const std::string& Text() const { return text_; }
    // The setting whose item holds the character at `offset`.
    std::string_view SettingAt(std::size_t offset) const {
        for (const auto& [end, name] : ends_)
            if (offset < end) return name;
        return ends_.empty() ? std::string_view("connection string") : ends_.back().second;
    }

  private:
    std::string text_;
    std::vector<std::pair<std::size_t, std::string_view>> ends_;
};

// The driver manager reads the string before the driver does, with rules of its own, to find
// the driver to load: it must find the one driver chosen here and none of the keywords that
// make it read a data source, write a file or set attributes. A value that would make it read
// part of the value as such a keyword is refused, naming the setting it came from.
void CheckDriverManagerReading(const ItemList& items, std::string_view driver) {
    static constexpr std::string_view kManagerKeywords[] = {
        "DRIVER", "DSN", "FILEDSN", "SAVEFILE", "DMENVATTR", "DMCONNATTR", "DMSTMTATTR"};
    bool first = true;
    for (const DriverManagerItem& item : ReadAsDriverManager(items.Text())) {
        const bool driverItem = EqualsIgnoreCase(item.keyword, "DRIVER");
        if (first && driverItem && item.value == driver) {
            first = false;
            continue;
        }
        first = false;
        for (const std::string_view keyword : kManagerKeywords) {
            if (EqualsIgnoreCase(item.keyword, keyword))
                Refuse({items.SettingAt(item.keywordOffset), {}},
                       "holds characters that the ODBC driver manager would read as settings of its own.");
        }
    }
}

// FreeTDS 1.3 takes off, request or require; it has no strict mode, and it checks a
// certificate only when freetds.conf names a CA file, which a connection string cannot ask for.
// What it cannot honour is refused rather than quietly weakened.
std::optional<std::string_view> FreeTdsEncryption(const ConnectionSettings& settings) {
    if (settings.trustServerCertificate == false)
        throw DatabaseError(
            "The FreeTDS driver cannot be told to check the server's certificate "
            "(trustServerCertificate=false): name a CA file (\"ca file\") in freetds.conf and leave the "
            "option out, or use Microsoft's driver (TABLOR_ODBC_DRIVER).");
    if (settings.encryption == Encryption::Default) return std::nullopt;
    if (settings.encryption != Encryption::Strict) return EncryptionWord(settings.encryption);
    throw DatabaseError(
        "The FreeTDS driver cannot use encrypt=strict: use encrypt=require, or Microsoft's driver "
        "(TABLOR_ODBC_DRIVER).");
}

// Microsoft's driver has no plain-text mode: with "no" it still encrypts when the server asks.
std::optional<std::string_view> MicrosoftEncryption(Encryption encryption) {
    switch (encryption) {
        case Encryption::Default:
            return std::nullopt;
        case Encryption::Off:
        case Encryption::Request:
            return "no";
        case Encryption::Require:
            return "yes";
        case Encryption::Strict:
            return "strict";
    }
    return std::nullopt;
}

std::string SqlServerString(const ConnectionSettings& settings, std::string_view driver) {
    const bool freeTds = IsFreeTdsDriver(driver);
    auto quoted = [freeTds](const Setting& setting) {
        return freeTds ? FreeTdsQuoted(setting) : OdbcQuoted(setting);
    };
    const ServerAddress address = ParseServerName(settings.serverName, DatabaseEngine::SqlServer);

    ItemList items;
    auto add = [&](std::string_view key, const Setting& setting, bool driverItem = false) {
        items.Add(key, setting, driverItem ? OdbcQuoted(setting) : quoted(setting));
    };
    add("Driver", {"driver name", driver}, true);
    std::string server = address.host;
    if (freeTds) {
        if (!address.instance.empty()) server += "\\" + address.instance;
        add("Server", {"server name", server});
        if (address.instance.empty())
            add("Port", {"port", address.port.empty() ? kSqlServerPort : std::string_view(address.port)});
    } else {
        if (!address.port.empty())
            server += "," + address.port;
        else if (!address.instance.empty())
            server += "\\" + address.instance;
        add("Server", {"server name", server});
    }
    add("Database", {"database name", settings.databaseName});
    if (settings.integratedSecurity) {
        add("Trusted_Connection", {"", "Yes"});
    } else {
        add("UID", {"user name", settings.userName});
        add("PWD", {"password", settings.password});
    }
    if (freeTds) {
        add("TDS_Version", {"", "7.4"});
        add("ClientCharset", {"", "UTF-8"});
        if (const auto level = FreeTdsEncryption(settings)) add("Encryption", {"", *level});
    } else {
        if (const auto level = MicrosoftEncryption(settings.encryption)) add("Encrypt", {"", *level});
        if (settings.trustServerCertificate)
            add("TrustServerCertificate", {"", *settings.trustServerCertificate ? "yes" : "no"});
    }
    add("APP", {"", kApplicationName});
    CheckDriverManagerReading(items, driver);
    return items.Text();
}

std::string PostgreSqlString(const ConnectionSettings& settings, std::string_view driver) {
    const ServerAddress address = ParseServerName(settings.serverName, DatabaseEngine::PostgreSql);
    std::string options;
    // No host: libpq's own choice, PGHOST or the default socket folder, as psql makes it.
    if (!address.host.empty()) AppendLibpqOption(options, "host", {"server name", address.host});
    if (!address.port.empty()) AppendLibpqOption(options, "port", {"port", address.port});
    AppendLibpqOption(options, "dbname", {"database name", settings.databaseName});
    if (!settings.integratedSecurity) {
        AppendLibpqOption(options, "user", {"user name", settings.userName});
        AppendLibpqOption(options, "password", {"password", settings.password});
    }
    AppendLibpqOption(options, "application_name", {"", kApplicationName});
    // The driver's own logs would hold the option string, password included: keep them off.
    ItemList items;
    items.Add("Driver", {"driver name", driver}, OdbcQuoted({"driver name", driver}));
    items.Add("pqopt", {"connection options", {}}, PercentEncoded(options));
    items.Add("CommLog", {"", {}}, "0");
    items.Add("Debug", {"", {}}, "0");
    CheckDriverManagerReading(items, driver);
    return items.Text();
}

// MariaDB Connector/ODBC trims blanks from both ends of every value, braced or not.
std::string MySqlQuoted(const Setting& setting) {
    static constexpr std::string_view kBlanks = " \t\n\v\f\r";
    const std::string_view value = setting.value;
    if (!value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos))
        Refuse(setting, "begins or ends with a blank, which the MariaDB ODBC driver drops.");
    return OdbcQuoted(setting);
}

// Below the driver, MariaDB's client library reads the host once more: a ";" or "=" makes it a
// string of client options (a plugin folder, an init command, local-infile, another host),
// "://" names a connection plugin to load, and "," a list of hosts to try in turn. The user,
// password and database it takes as they are.
void CheckMariaDbClientHost(const Setting& setting) {
    if (setting.value.find_first_of(";=,") != std::string_view::npos ||
        setting.value.find("://") != std::string_view::npos)
        Refuse(setting, "holds characters that MariaDB's client library would read as settings of its own.");
}

std::string MySqlString(const ConnectionSettings& settings, std::string_view driver) {
    const ServerAddress address = ParseServerName(settings.serverName, DatabaseEngine::MySql);
    ItemList items;
    auto add = [&](std::string_view key, const Setting& setting) {
        items.Add(key, setting, MySqlQuoted(setting));
    };
    items.Add("DRIVER", {"driver name", driver}, OdbcQuoted({"driver name", driver}));
    CheckMariaDbClientHost({"server name", address.host});
    add("SERVER", {"server name", address.host});
    if (!address.port.empty()) add("PORT", {"port", address.port});
    add("DATABASE", {"database name", settings.databaseName});
    if (!settings.integratedSecurity) {
        add("UID", {"user name", settings.userName});
        add("PWD", {"password", settings.password});
    }
    // "localhost" would otherwise mean the local socket, and the port would go unused.
    add("TCPIP", {"", "1"});
    add("CHARSET", {"", "utf8mb4"});
    CheckDriverManagerReading(items, driver);
    return items.Text();
}

}  // namespace

bool IsFreeTdsDriver(std::string_view driver) {
    const std::string folded = FoldCase(driver);
    return folded.find("freetds") != std::string::npos || folded.find("tdsodbc") != std::string::npos;
}

std::string BuildOdbcConnectionString(const ConnectionSettings& settings, std::string_view driver) {
    switch (settings.engine) {
        case DatabaseEngine::PostgreSql:
            return PostgreSqlString(settings, driver);
        case DatabaseEngine::MySql:
            return MySqlString(settings, driver);
        case DatabaseEngine::SqlServer:
            break;
    }
    return SqlServerString(settings, driver);
}

}  // namespace tablor
