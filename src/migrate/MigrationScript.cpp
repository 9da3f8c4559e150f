#include "migrate/MigrationScript.hpp"

#include <algorithm>

#include "migrate/MySqlDialect.hpp"
#include "migrate/PostgresDialect.hpp"
#include "migrate/SqlServerDialect.hpp"

namespace tablor {
namespace {

// A text for one comment line: a line break in a name would end the comment and run the rest.
std::string CommentText(std::string_view text) {
    std::string out;
    for (const char c : text) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    return out;
}

void AppendCommented(std::string& out, std::string_view sql) {
    std::size_t start = 0;
    while (start <= sql.size()) {
        const std::size_t end = std::min(sql.find('\n', start), sql.size());
        out += "-- ";
        out += CommentText(sql.substr(start, end - start));
        out += '\n';
        start = end + 1;
    }
}

}  // namespace

std::unique_ptr<SqlDialect> SqlDialect::For(SqlDialectKind kind) {
    switch (kind) {
        case SqlDialectKind::MySql:
            return std::make_unique<MySqlDialect>();
        case SqlDialectKind::SqlServer:
            return std::make_unique<SqlServerDialect>();
        default:
            return std::make_unique<PostgresDialect>();
    }
}

bool MigrationScript::Incomplete() const noexcept {
    return HeldBackCount() != 0;
}

std::size_t MigrationScript::HeldBackCount() const noexcept {
    return static_cast<std::size_t>(
        std::count_if(statements.begin(), statements.end(),
                      [](const auto& statement) { return !statement.heldBack.empty(); }));
}

std::string MigrationScript::Text() const {
    const auto dialect = SqlDialect::For(this->dialect);
    std::string out = "-- Makes " + CommentText(currentName) + " like " + CommentText(desiredName) + " (" +
                      std::string(DialectName(this->dialect)) + ").\n";
    if (Empty()) return out + "-- Nothing to do: the two are alike.\n";
    if (const std::size_t held = HeldBackCount(); held != 0)
        out += "-- " + std::to_string(held) + (held == 1 ? " change is" : " changes are") +
               " held back below, each as a comment that says why: run as it is, this script leaves "
               "them undone.\n";
    out += dialect->Opening();
    for (const MigrationStatement& statement : statements) {
        out += '\n';
        if (statement.heldBack.empty()) {
            out += dialect->Terminated(statement.sql);
            out += '\n';
            continue;
        }
        out += (statement.losesData ? "-- Held back (it loses data; --allow-drop writes it): "
                                    : "-- Not written (make it by hand): ") +
               CommentText(statement.heldBack) + "\n";
        if (!statement.sql.empty()) AppendCommented(out, dialect->Terminated(statement.sql));
    }
    const std::string closing = dialect->Closing();
    if (!closing.empty()) out += "\n" + closing;
    return out;
}

}  // namespace tablor
