// The engines' own password sources, read as their clients read them.
#include <gtest/gtest.h>

#include "cli/PasswordSources.hpp"

namespace tablor::testing {
namespace {

TEST(PasswordSources, PgpassLinesMatchAsLibpqMatchesThem) {
    const cli::PgpassKey key{"db.example", "5433", "shop", "app"};
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"db.example:5433:shop:app:secret\n", "secret"},
        {"*:*:*:*:any\n", "any"},
        {"# db.example:5433:shop:app:commented\n*:5433:shop:app:second\r\n", "second"},
        {"db.example:5432:shop:app:other-port\n", std::nullopt},
        {"db.example:5433:shop:apple:longer-user\ndb.example:5433:shop:ap:shorter\n", std::nullopt},
        {"db.example:5433:*:app:first\n*:*:*:*:second\n", "first"},
        {"db.example:5433:shop:app:co\\:lon\\\\:ignored\n", "co:lon\\"},
        {"db\\.example:5433:shop:app:escaped-host\n", "escaped-host"},
        {"db.example:5433:shop:app\n", std::nullopt},
        {"db.example:5433:shop:app:\n", ""},
    };
    for (const auto& [text, password] : cases) EXPECT_EQ(cli::PgpassPassword(text, key), password) << text;
}

TEST(PasswordSources, MyCnfGivesTheLastClientPassword) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"[client]\npassword=secret\n", "secret"},
        {"[mysqld]\npassword=server\n", std::nullopt},
        {"[client]\n  user = app\n  password = \"two words\"  # a comment\n", "two words"},
        {"[client]\npassword=first\n[client-mariadb]\npassword='last'\n", "last"},
        {"[client]\npassword\n", std::nullopt},
        {"!includedir /etc/mysql/conf.d/\n[client]\nno-auto-rehash\npassword=a\\sb\\\\c#d\n", "a b\\c"},
        {"[Client]\r\npassword=crlf\r\n", "crlf"},
    };
    for (const auto& [text, password] : cases) EXPECT_EQ(cli::MyCnfPassword(text), password) << text;
}

}  // namespace
}  // namespace tablor::testing
