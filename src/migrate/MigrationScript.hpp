#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tablor {

// The SQL a migration script is written in.
enum class SqlDialectKind { PostgreSql, MySql, SqlServer };

// "postgresql", "mysql" or "sqlserver" (a snapshot's and the command line's words) to a dialect;
// nothing for any other word.
std::optional<SqlDialectKind> DialectNamed(std::string_view word);
std::string_view DialectName(SqlDialectKind dialect);

// One statement of a script. A statement that would lose data and was not allowed to is kept
// as a comment, with why.
struct MigrationStatement {
    std::string sql;         // empty for a change that no statement makes
    std::string heldBack;    // why it is not run; empty for a statement that is
    bool losesData = false;  // held back only until --allow-drop allows it

    static MigrationStatement Run(std::string sql) { return {std::move(sql), {}, false}; }
    static MigrationStatement LosesData(std::string sql, std::string why) {
        return {std::move(sql), std::move(why), true};
    }
    // A change the script cannot make by itself; the user makes it by hand.
    static MigrationStatement ByHand(std::string why) { return {{}, std::move(why), false}; }
};

// The statements that make one database's structure like another's, in the order they run.
struct MigrationScript {
    SqlDialectKind dialect = SqlDialectKind::PostgreSql;
    std::string currentName;  // the side the script runs on
    std::string desiredName;  // the side it makes the first like
    std::vector<MigrationStatement> statements;

    bool Empty() const noexcept { return statements.empty(); }
    // True when a statement was held back: run, the script leaves differences.
    bool Incomplete() const noexcept;
    std::size_t HeldBackCount() const noexcept;
    // The whole script: a header that says what it does, the statements (the held-back ones as
    // comments), and the dialect's transaction around them.
    std::string Text() const;
};

}  // namespace tablor
