#include "sources/ServerText.hpp"

#include "support/TextCase.hpp"

namespace tablor {

LiveTarget ParseServerText(std::string_view text) {
    static constexpr std::string_view kPostgreSql = "postgresql://";
    const auto start = text.find_first_not_of(' ');
    const std::string_view typed = start == std::string_view::npos ? std::string_view() : text.substr(start);
    if (typed.size() >= kPostgreSql.size() &&
        AsciiUpper(typed.substr(0, kPostgreSql.size())) == AsciiUpper(kPostgreSql))
        return {DatabaseEngine::PostgreSql, std::string(typed.substr(kPostgreSql.size()))};
    return {DatabaseEngine::SqlServer, std::string(text)};
}

}  // namespace tablor
