#include "ConnectionStringReaders.hpp"

#include <strings.h>

#include <cctype>
#include <cstring>

namespace tablor::testing {

KeywordValues ReadLikeUnixOdbc(std::string_view view) {
    const std::string copy(view);
    const char* cp = copy.c_str();
    KeywordValues pairs;
    for (;;) {
        while (std::isspace(static_cast<unsigned char>(*cp)) || *cp == ';') ++cp;
        if (*cp == '\0') break;
        const char* start = cp;
        while (*cp && *cp != '=') ++cp;
        if (*cp == '\0') break;
        std::string keyword(start, cp);
        ++cp;
        std::string value;
        if (*cp == '{') {
            ++cp;
            while (*cp && (*cp != '}' || cp[1] == '}')) {
                if (*cp == '}') ++cp;
                value += *cp++;
            }
            if (*cp == '}') ++cp;
        } else {
            while (*cp && *cp != ';') value += *cp++;
        }
        pairs.emplace_back(std::move(keyword), std::move(value));
    }
    return pairs;
}

std::map<std::string, std::string> ReadLikeFreeTds(std::string_view text) {
    std::map<std::string, std::string> values;
    const char* p = text.data();
    const char* const stringEnd = text.data() + text.size();
    while (p < stringEnd && *p) {
        while (p < stringEnd && *p == ';') ++p;
        const char* end =
            static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(stringEnd - p)));
        if (end == nullptr) break;
        while (p < end && *p == ' ') ++p;
        const std::string option(p, end);
        p = end + 1;
        if (p < stringEnd && *p == '{') {
            ++p;
            end = p;
            while ((end = static_cast<const char*>(
                        std::memchr(end, '}', static_cast<std::size_t>(stringEnd - end)))) != nullptr) {
                if (end + 1 != stringEnd && end[1] == ';') break;
                ++end;
            }
        } else {
            end = static_cast<const char*>(std::memchr(p, ';', static_cast<std::size_t>(stringEnd - p)));
        }
        if (end == nullptr) end = stringEnd;
        values[option] = std::string(p, end);
        p = end;
        if (p >= stringEnd) break;
        if (*p == '}') ++p;
        ++p;
    }
    return values;
}

std::map<std::string, std::string> ReadLikeOdbcStandard(std::string_view text) {
    std::map<std::string, std::string> values;
    for (auto& [keyword, value] : ReadLikeUnixOdbc(text)) values[keyword] = value;
    return values;
}

namespace {

std::string TrimmedLikeMariaDb(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
    return std::string(text.substr(first, last - first));
}

}  // namespace

std::map<std::string, std::string> ReadLikeMariaDbOdbc(std::string_view text) {
    std::map<std::string, std::string> values;
    std::size_t key = 0;
    while (key < text.size()) {
        if (text[key] == ';') {
            ++key;
            continue;
        }
        const auto equals = text.find('=', key);
        if (equals == std::string_view::npos) break;
        std::string name = TrimmedLikeMariaDb(text.substr(key, equals - key));
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::size_t pos = equals + 1;
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
        std::string value;
        std::size_t next = std::string_view::npos;
        if (pos < text.size() && text[pos] == '{') {
            for (std::size_t i = pos + 1; i < text.size(); ++i) {
                if (text[i] != '}') {
                    value += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '}') {
                    value += '}';
                    ++i;
                } else {
                    next = i + 2;
                    break;
                }
            }
        } else {
            const auto semicolon = text.find(';', pos);
            value = text.substr(pos, semicolon == std::string_view::npos ? text.npos : semicolon - pos);
            if (semicolon != std::string_view::npos) next = semicolon + 1;
        }
        values[name] = TrimmedLikeMariaDb(value);
        key = next;
    }
    return values;
}

KeywordValues ReadLikeMariaDbClient(std::string_view host) {
    KeywordValues options;
    if (host.find_first_of(";=") != std::string_view::npos) {
        std::string key;
        std::string value;
        bool inValue = false;
        bool braced = false;
        auto finish = [&] {
            if (!key.empty()) options.emplace_back(key, value);
            key.clear();
            value.clear();
            inValue = false;
        };
        for (std::size_t i = 0; i < host.size(); ++i) {
            const char c = host[i];
            if (braced) {
                if (c == '}' && i + 1 < host.size() && host[i + 1] == '}') {
                    value += '}';
                    ++i;
                } else if (c == '}') {
                    braced = false;
                } else {
                    value += c;
                }
            } else if (std::isspace(static_cast<unsigned char>(c)) != 0) {
                continue;
            } else if (c == '{' && inValue) {
                braced = true;
            } else if (c == '=' && !inValue) {
                inValue = true;
            } else if (c == ';') {
                finish();
            } else {
                (inValue ? value : key) += c;
            }
        }
        finish();
        return options;
    }
    if (const auto scheme = host.find("://"); scheme != std::string_view::npos) {
        options.emplace_back("connection plugin", std::string(host.substr(0, scheme)));
        return options;
    }
    std::size_t start = 0;
    for (;;) {
        const auto comma = host.find(',', start);
        options.emplace_back("host", std::string(host.substr(start, comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return options;
}

bool DriverManagerLoadsOnly(std::string_view text, std::string_view driver) {
    const KeywordValues pairs = ReadLikeUnixOdbc(text);
    if (pairs.empty() || strcasecmp(pairs.front().first.c_str(), "DRIVER") != 0 ||
        pairs.front().second != driver)
        return false;
    for (std::size_t i = 1; i < pairs.size(); ++i) {
        for (const char* keyword :
             {"DRIVER", "DSN", "FILEDSN", "SAVEFILE", "DMEnvAttr", "DMConnAttr", "DMStmtAttr"})
            if (strcasecmp(pairs[i].first.c_str(), keyword) == 0) return false;
    }
    return true;
}

}  // namespace tablor::testing
