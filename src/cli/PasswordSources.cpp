#include "cli/PasswordSources.hpp"

#include <sys/stat.h>

#include <cctype>

#include "support/FileIO.hpp"
#include "support/TablorError.hpp"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace tablor::cli {
namespace {

// Where libpq on Debian keeps the server's socket; a password file calls it "localhost".
constexpr std::string_view kDefaultSocketFolder = "/var/run/postgresql";
constexpr std::string_view kDefaultPostgreSqlPort = "5432";

// The rest of `line` after its first field, when that field matches `token`.
std::optional<std::string_view> MatchField(std::string_view line, std::string_view token) {
    if (line.starts_with("*:")) return line.substr(2);
    std::size_t matched = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool escaped = line[i] == '\\';
        if (escaped && ++i == line.size()) return std::nullopt;
        if (line[i] == ':' && !escaped && matched == token.size()) return line.substr(i + 1);
        if (matched == token.size() || line[i] != token[matched]) return std::nullopt;
        ++matched;
    }
    return std::nullopt;
}

// The text of a credentials file; nothing when there is none or `refused` gives a reason to
// pass it over (which `warning` then holds).
template <class Refused>
std::optional<std::string> CredentialsFile(const std::string& path, Refused&& refused, std::string& warning) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    if (const std::string reason = refused(info); !reason.empty()) {
        warning = "the password file " + path + " " + reason + ", so it is ignored";
        return std::nullopt;
    }
    try {
        return ReadFileBytes(path);
    } catch (const TablorError&) {
        warning = "the password file " + path + " cannot be read, so it is ignored";
        return std::nullopt;
    }
}

std::optional<std::string> HomeFile(const VariableLookup& variable, const std::string& name) {
    const std::optional<std::string> home = variable("HOME");
    if (!home || home->empty()) return std::nullopt;
    return *home + "/" + name;
}

// MariaDB's reading of an option's value: a "#" outside quotes starts a comment, blanks around it
// go, matching quotes around the whole value go, and \n \t \r \b \s \" \' \\ are escapes.
std::string MyCnfValue(std::string_view value) {
    char quote = 0;
    bool escape = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if ((c == '\'' || c == '"') && !escape) {
            if (quote == 0)
                quote = c;
            else if (quote == c)
                quote = 0;
        }
        if (quote == 0 && c == '#') {
            value = value.substr(0, i);
            break;
        }
        escape = quote != 0 && c == '\\' && !escape;
    }
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())) != 0)
        value.remove_suffix(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.front() == value.back())
        value = value.substr(1, value.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        static constexpr std::string_view kFrom = "ntrbs\"'\\";
        static constexpr std::string_view kTo = "\n\t\r\b \"'\\";
        const auto known = kFrom.find(value[++i]);
        if (known == std::string_view::npos) out += '\\';
        out += known == std::string_view::npos ? value[i] : kTo[known];
    }
    return out;
}

}  // namespace

std::optional<std::string> PgpassPassword(std::string_view text, const PgpassKey& key) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        std::optional<std::string_view> rest = line;
        for (const std::string* field : {&key.host, &key.port, &key.database, &key.user})
            if (rest) rest = MatchField(*rest, *field);
        if (!rest) continue;
        std::string password;
        for (std::size_t i = 0; i < rest->size() && (*rest)[i] != ':'; ++i) {
            if ((*rest)[i] == '\\' && i + 1 < rest->size()) ++i;
            password += (*rest)[i];
        }
        return password;
    }
    return std::nullopt;
}

std::optional<std::string> MyCnfPassword(const std::string& text) {
    CSimpleIniA ini(false, true, false);
    if (ini.LoadData(text) < 0) return std::nullopt;
    std::optional<CSimpleIniA::Entry> last;
    for (const char* group : {"client", "client-server", "client-mariadb"}) {
        CSimpleIniA::TNamesDepend values;
        ini.GetAllValues(group, "password", values);
        for (const CSimpleIniA::Entry& value : values)
            if (!last || value.nOrder > last->nOrder) last = value;
    }
    if (!last) return std::nullopt;
    return MyCnfValue(last->pItem);
}

std::optional<std::string> PostgreSqlToolPassword(const std::string& host, const std::string& port,
                                                  const std::string& database, const std::string& user,
                                                  const VariableLookup& variable, std::string& warning) {
    // libpq takes an empty PGPASSWORD for none.
    if (std::optional<std::string> password = variable("PGPASSWORD"); password && !password->empty())
        return password;
    std::optional<std::string> path = variable("PGPASSFILE");
    if (!path || path->empty()) path = HomeFile(variable, ".pgpass");
    if (!path) return std::nullopt;
    const std::optional<std::string> text = CredentialsFile(
        *path,
        [](const struct stat& info) -> std::string {
            if (!S_ISREG(info.st_mode)) return "is not a plain file";
            if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
                return "may be used by its group or others (it should be u=rw, 0600, or less)";
            return {};
        },
        warning);
    if (!text) return std::nullopt;
    PgpassKey key{host, port, database, user};
    if (key.host.empty()) key.host = variable("PGHOST").value_or("");
    if (key.host.empty() || key.host == kDefaultSocketFolder) key.host = "localhost";
    if (key.port.empty()) key.port = variable("PGPORT").value_or("");
    if (key.port.empty()) key.port = kDefaultPostgreSqlPort;
    return PgpassPassword(*text, key);
}

std::optional<std::string> MySqlToolPassword(const VariableLookup& variable, std::string& warning) {
    const std::optional<std::string> path = HomeFile(variable, ".my.cnf");
    if (!path) return std::nullopt;
    const std::optional<std::string> text = CredentialsFile(
        *path,
        [](const struct stat& info) -> std::string {
            if (S_ISREG(info.st_mode) && (info.st_mode & S_IWOTH) != 0) return "may be written by anyone";
            return {};
        },
        warning);
    if (!text) return std::nullopt;
    return MyCnfPassword(*text);
}

}  // namespace tablor::cli
