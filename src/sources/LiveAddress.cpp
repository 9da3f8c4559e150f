#include "sources/LiveAddress.hpp"

#include <charconv>
#include <utility>

#include "sources/DatabaseError.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && AsciiUpper(text.substr(0, prefix.size())) == AsciiUpper(prefix);
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string LocalHostAlias(std::string host) {
    if (host == "." || EqualsIgnoreCase(host, "(local)")) return "localhost";
    return host;
}

// "host:port" and "[v6 address]:port", the one reading of a host and port for every form of
// address: the host with its brackets, and the text after the ":" that ends it when there is
// one. A bare v6 address has more than one ":" and no port. `problem` says why a bracketed
// host is malformed.
struct HostPort {
    std::string_view host;
    std::optional<std::string_view> port;
    std::string_view problem;
};

HostPort SplitHostPort(std::string_view text) {
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return {text, std::nullopt, "the host has a \"[\" without \"]\""};
        if (close + 1 == text.size()) return {text, std::nullopt, {}};
        if (text[close + 1] != ':') return {text, std::nullopt, "unexpected text after the host's \"]\""};
        return {text.substr(0, close + 1), text.substr(close + 2), {}};
    }
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos)
        return {text, std::nullopt, {}};
    return {text.substr(0, colon), text.substr(colon + 1), {}};
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(std::string_view text, std::string_view what) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            throw LiveSideError("the " + std::string(what) +
                                " has a \"%\" that is not followed by two hex digits");
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

constexpr std::string_view kPasswordRefused =
    "a password is not accepted in the address, since other users can read command lines: "
    "set TABLOR_PASSWORD or type it when asked";

// Where a password written as user:password@ would be: from after the first ':' to the last
// '@'. A password may hold '/', '?' and '@', so the authority cannot be cut at the first of
// those; a ':' that comes before any '/', '?' or '[' and before the last '@' is taken as one,
// even if it was meant for a port (names holding '@' can be written "%40").
std::optional<std::pair<std::size_t, std::size_t>> PasswordSpan(std::string_view rest) {
    const auto lastAt = rest.rfind('@');
    if (lastAt == std::string_view::npos) return std::nullopt;
    const auto colon = rest.find_first_of(":/?[");
    if (colon == std::string_view::npos || colon > lastAt || rest[colon] != ':') return std::nullopt;
    return std::pair{colon + 1, lastAt};
}

struct Address {
    std::string user;
    std::string host;  // IPv6 addresses keep their brackets
    std::string port;
    std::string path;
    std::string query;
};

// `hostOptional`: no host means the server's local socket (PostgreSQL, as psql takes it).
Address SplitAddress(std::string_view rest, std::string_view scheme, bool hostOptional = false) {
    if (PasswordSpan(rest)) throw LiveSideError(std::string(kPasswordRefused));
    Address address;
    if (const auto question = rest.find('?'); question != std::string_view::npos) {
        address.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    std::string_view authority = rest;
    if (const auto slash = rest.find('/'); slash != std::string_view::npos) {
        authority = rest.substr(0, slash);
        address.path = std::string(rest.substr(slash + 1));
    }
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        if (userInfo.find(':') != std::string_view::npos) throw LiveSideError(std::string(kPasswordRefused));
        address.user = PercentDecoded(userInfo, "user name");
        authority = authority.substr(at + 1);
    }
    const HostPort split = SplitHostPort(authority);
    if (!split.problem.empty()) throw LiveSideError(std::string(split.problem));
    if (!split.host.empty() && split.host.front() != '[' && split.host.find(':') != std::string_view::npos)
        throw LiveSideError("an IPv6 address goes in brackets: [ADDRESS]:PORT");
    if (split.port && split.port->empty()) throw LiveSideError("the port after \":\" is missing");
    const std::string_view port = split.port.value_or(std::string_view());
    address.host = PercentDecoded(split.host, "host");
    if (address.host.empty() && !hostOptional) throw LiveSideError(std::string(scheme) + " needs a host");
    if (!port.empty() && !IsPortNumber(port))
        throw LiveSideError("the port \"" + std::string(port) + "\" is not a number from 1 to 65535");
    address.port = std::string(port);
    return address;
}

unsigned TimeoutValue(std::string_view value, std::string_view setting) {
    unsigned seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || seconds < 1 ||
        seconds > kMaxQueryTimeoutSeconds)
        throw LiveSideError(std::string(setting) + " takes a whole number of seconds from 1 to " +
                            std::to_string(kMaxQueryTimeoutSeconds) + ", not \"" + std::string(value) + "\"");
    return seconds;
}

// Calls onSetting(KEY, value) for each key=value after "?"; keys ignore letter case. A
// password among them is refused whatever else the scheme takes.
template <class OnSetting>
void ForEachSetting(std::string_view query, std::string_view known, OnSetting&& onSetting) {
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        const auto equals = pair.find('=');
        const std::string key = AsciiUpper(pair.substr(0, equals));
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        if (key == "PASSWORD" || key == "PWD") throw LiveSideError(std::string(kPasswordRefused));
        if (!onSetting(key, value))
            throw LiveSideError("unknown setting \"" + std::string(pair.substr(0, equals)) +
                                "\" in the address (known: " + std::string(known) + ")");
    }
}

bool TruthValue(std::string_view value, std::string_view setting) {
    const std::string upper = AsciiUpper(value);
    if (upper == "TRUE" || upper == "YES" || upper == "1") return true;
    if (upper == "FALSE" || upper == "NO" || upper == "0") return false;
    throw LiveSideError(std::string(setting) + " takes true or false, not \"" + std::string(value) + "\"");
}

// The settings both schemes take; false for a key that is none of them.
bool CommonSetting(LiveSide& side, const std::string& key, std::string_view value) {
    if (key == "QUERYTIMEOUT") {
        side.queryTimeoutSeconds = TimeoutValue(value, "queryTimeout");
    } else if (key == "LOGINTIMEOUT") {
        side.loginTimeoutSeconds = TimeoutValue(value, "loginTimeout");
    } else if (key == "SCHEMA") {
        std::string schema = PercentDecoded(value, "schema name");
        if (schema.empty()) throw LiveSideError("schema needs a name: ...schema=NAME");
        side.schemas.push_back(std::move(schema));
    } else if (key == "QUALIFY") {
        side.qualifyNames = TruthValue(value, "qualify");
    } else {
        return false;
    }
    return true;
}

Encryption EncryptionValue(std::string_view value) {
    const std::string upper = AsciiUpper(value);
    if (upper == "OFF") return Encryption::Off;
    if (upper == "REQUEST") return Encryption::Request;
    if (upper == "REQUIRE") return Encryption::Require;
    if (upper == "STRICT") return Encryption::Strict;
    throw LiveSideError("encrypt takes off, request, require or strict, not \"" + std::string(value) + "\"");
}

LiveSide SqlServerSide(const Address& address) {
    LiveSide side;
    side.engine = DatabaseEngine::SqlServer;
    side.userName = address.user;
    if (address.path.find('/') != std::string::npos)
        throw LiveSideError("sqlserver:// takes one instance name after the host, not a path");
    const std::string instance = PercentDecoded(address.path, "instance name");
    if (!instance.empty() && !address.port.empty())
        throw LiveSideError("give either a port or an instance name, not both");

    bool haveDatabase = false;
    ForEachSetting(address.query,
                   "database, integrated, queryTimeout, loginTimeout, encrypt, trustServerCertificate, "
                   "schema, qualify",
                   [&](const std::string& key, std::string_view value) {
                       if (key == "DATABASE" || key == "DATABASENAME") {
                           side.databaseName = PercentDecoded(value, "database name");
                           haveDatabase = true;
                       } else if (key == "INTEGRATED" || key == "INTEGRATEDSECURITY") {
                           side.integratedSecurity = TruthValue(value, "integrated");
                       } else if (key == "ENCRYPT") {
                           side.encryption = EncryptionValue(value);
                       } else if (key == "TRUSTSERVERCERTIFICATE") {
                           side.trustServerCertificate = TruthValue(value, "trustServerCertificate");
                       } else {
                           return CommonSetting(side, key, value);
                       }
                       return true;
                   });
    if (!haveDatabase || side.databaseName.empty())
        throw LiveSideError("sqlserver:// needs the database: ...?database=NAME");
    if (!side.integratedSecurity && side.userName.empty())
        throw LiveSideError("sqlserver:// needs a user (sqlserver://user@host...) or integrated=true");

    side.serverName = address.host;
    if (!address.port.empty()) side.serverName += "," + address.port;
    if (!instance.empty()) side.serverName += "\\" + instance;
    return side;
}

LiveSide PostgreSqlSide(const Address& address) {
    LiveSide side;
    side.engine = DatabaseEngine::PostgreSql;
    ForEachSetting(
        address.query, "queryTimeout, loginTimeout, schema, qualify",
        [&](const std::string& key, std::string_view value) { return CommonSetting(side, key, value); });
    side.userName = address.user;
    // Without a user, the server's own rules (the system user name, Kerberos) decide.
    side.integratedSecurity = address.user.empty();
    side.databaseName = PercentDecoded(address.path, "database name");
    if (side.databaseName.empty())
        throw LiveSideError("postgresql:// needs the database: postgresql://host/NAME");
    side.serverName = address.host;
    if (!address.port.empty()) side.serverName += ":" + address.port;
    return side;
}

// The database is the schema here: there is no other to filter by or to qualify names with.
LiveSide MySqlSide(const Address& address) {
    LiveSide side;
    side.engine = DatabaseEngine::MySql;
    ForEachSetting(
        address.query, "queryTimeout, loginTimeout", [&](const std::string& key, std::string_view value) {
            if (key == "SCHEMA" || key == "QUALIFY")
                throw LiveSideError("mysql:// reads the one database it names, which is its schema: " +
                                    std::string(key == "SCHEMA" ? "schema=" : "qualify=") +
                                    " does not apply");
            return CommonSetting(side, key, value);
        });
    side.userName = address.user;
    if (side.userName.empty()) throw LiveSideError("mysql:// needs a user: mysql://USER@host/NAME");
    if (address.path.find('/') != std::string::npos)
        throw LiveSideError("mysql:// takes one database name after the host, not a path");
    side.databaseName = PercentDecoded(address.path, "database name");
    if (side.databaseName.empty()) throw LiveSideError("mysql:// needs the database: mysql://USER@host/NAME");
    side.serverName = address.host;
    if (!address.port.empty()) side.serverName += ":" + address.port;
    return side;
}

}  // namespace

std::optional<LiveSide> ParseLiveSide(std::string_view text) {
    static constexpr std::string_view kSqlServer = "sqlserver://";
    static constexpr std::string_view kPostgreSql[] = {"postgresql://", "postgres://"};
    static constexpr std::string_view kMySql[] = {"mysql://", "mariadb://"};
    if (StartsWithIgnoreCase(text, kSqlServer))
        return SqlServerSide(SplitAddress(text.substr(kSqlServer.size()), "sqlserver://"));
    for (const std::string_view scheme : kPostgreSql) {
        if (StartsWithIgnoreCase(text, scheme))
            return PostgreSqlSide(SplitAddress(text.substr(scheme.size()), "postgresql://", true));
    }
    for (const std::string_view scheme : kMySql) {
        if (StartsWithIgnoreCase(text, scheme))
            return MySqlSide(SplitAddress(text.substr(scheme.size()), "mysql://"));
    }
    return std::nullopt;
}

std::string RedactedAddress(std::string_view text) {
    std::string out(text);
    const auto scheme = out.find("://");
    if (scheme == std::string::npos) return out;
    if (const auto span = PasswordSpan(std::string_view(out).substr(scheme + 3))) {
        out.replace(scheme + 3 + span->first, span->second - span->first, "****");
        return out;
    }
    const auto question = out.find('?');
    if (question == std::string::npos) return out;
    for (std::size_t start = question + 1; start < out.size();) {
        std::size_t end = out.find('&', start);
        if (end == std::string::npos) end = out.size();
        const auto equals = out.find('=', start);
        if (equals != std::string::npos && equals < end) {
            const std::string key = AsciiUpper(std::string_view(out).substr(start, equals - start));
            // A password may hold '&': everything after its '=' goes.
            if (key == "PASSWORD" || key == "PWD") return out.replace(equals + 1, std::string::npos, "****");
        }
        start = end + 1;
    }
    return out;
}

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
    } else if (engine != DatabaseEngine::SqlServer) {
        // A malformed bracket is left to the host lookup to report.
        if (const HostPort split = SplitHostPort(rest); split.problem.empty() && split.port) {
            port = split.port;
            rest = split.host;
        }
    }
    if (port) {
        const std::string digits = Trimmed(*port);
        if (!IsPortNumber(digits))
            throw DatabaseError("The server name gives a port that is not a number from 1 to 65535.");
        address.port = digits;
    }
    if (engine == DatabaseEngine::SqlServer) {
        if (const auto slash = rest.find('\\'); slash != std::string_view::npos) {
            if (address.port.empty()) address.instance = Trimmed(rest.substr(slash + 1));
            rest = rest.substr(0, slash);
        }
    }
    address.host = Trimmed(rest);
    if (engine != DatabaseEngine::SqlServer && address.host.size() > 2 && address.host.front() == '[' &&
        address.host.back() == ']')
        address.host = address.host.substr(1, address.host.size() - 2);
    address.host = LocalHostAlias(address.host);
    return address;
}

LiveTarget ParseServerText(std::string_view text) {
    static constexpr struct {
        std::string_view scheme;
        DatabaseEngine engine;
    } kSchemes[] = {{"postgresql://", DatabaseEngine::PostgreSql},
                    {"postgres://", DatabaseEngine::PostgreSql},
                    {"mysql://", DatabaseEngine::MySql},
                    {"mariadb://", DatabaseEngine::MySql}};
    const auto start = text.find_first_not_of(' ');
    const std::string_view typed = start == std::string_view::npos ? std::string_view() : text.substr(start);
    for (const auto& [scheme, engine] : kSchemes) {
        if (StartsWithIgnoreCase(typed, scheme)) return {engine, std::string(typed.substr(scheme.size()))};
    }
    return {DatabaseEngine::SqlServer, std::string(text)};
}

}  // namespace tablor
