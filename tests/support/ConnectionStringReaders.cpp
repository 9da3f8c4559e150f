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
