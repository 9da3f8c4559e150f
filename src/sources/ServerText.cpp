#include "sources/ServerText.hpp"

#include "support/TextCase.hpp"

namespace tablor {

LiveTarget ParseServerText(std::string_view text) {
    static constexpr struct {
        std::string_view scheme;
        DatabaseEngine engine;
    } kSchemes[] = {{"postgresql://", DatabaseEngine::PostgreSql},
                    {"mysql://", DatabaseEngine::MySql},
                    {"mariadb://", DatabaseEngine::MySql}};
    const auto start = text.find_first_not_of(' ');
    const std::string_view typed = start == std::string_view::npos ? std::string_view() : text.substr(start);
    for (const auto& [scheme, engine] : kSchemes) {
        if (typed.size() >= scheme.size() && AsciiUpper(typed.substr(0, scheme.size())) == AsciiUpper(scheme))
            return {engine, std::string(typed.substr(scheme.size()))};
    }
    return {DatabaseEngine::SqlServer, std::string(text)};
}

}  // namespace tablor
