#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "migrate/MigrationScript.hpp"
#include "model/ObjectType.hpp"
#include "model/cMetaDataElement.hpp"

namespace tablor {

using Statements = std::vector<MigrationStatement>;

// How one engine spells each change. Elements carry the definitions the engine's catalogue
// gave, whose texts each dialect knows how to read; what it writes back is those texts as the
// server gave them, around identifiers quoted by the engine's rules.
class SqlDialect {
  public:
    virtual ~SqlDialect() = default;

    static std::unique_ptr<SqlDialect> For(SqlDialectKind kind);

    // An identifier quoted for any name: quotes, reserved words, letters of any script.
    virtual std::string Quote(std::string_view identifier) const = 0;
    virtual std::string Literal(std::string_view text) const = 0;
    // `name` in the element's schema, where the engine has schemas: the element's own name (for
    // a constraint, index or trigger without its table), or its table's.
    virtual std::string Qualified(const cMetaDataElement& element, std::string_view name) const = 0;

    // What opens and closes the script: a transaction where the engine's DDL runs in one.
    virtual std::string Opening() const = 0;
    virtual std::string Closing() const = 0;
    // How a statement ends; a body holding ";" may need more than one.
    virtual std::string Terminated(const std::string& sql) const { return sql + ";"; }

    // A table with its columns and the keys that must come with it; `keys` are its primary
    // key and unique constraints (their definitions), which some engines need at once.
    virtual Statements CreateTable(const cMetaDataElement& table,
                                   const std::vector<const cMetaDataElement*>& keys) const = 0;
    virtual Statements DropTable(const cMetaDataElement& table) const = 0;
    virtual Statements AlterTable(const cMetaDataElement& current, const cMetaDataElement& desired) const = 0;
    virtual Statements AddColumn(const cMetaDataElement& table, const cField& column) const = 0;
    virtual Statements DropColumn(const cMetaDataElement& table, const cField& column) const = 0;
    virtual Statements AlterColumn(const cMetaDataElement& table, const cField& current,
                                   const cField& desired) const = 0;
    // Whether the column change rebuilds the column, so that views over it must go first.
    virtual bool RebuildsColumn(const cField& current, const cField& desired) const = 0;

    virtual Statements AddConstraint(const cMetaDataElement& constraint, std::string_view table) const = 0;
    virtual Statements DropConstraint(const cMetaDataElement& constraint, std::string_view table) const = 0;
    virtual Statements CreateIndex(const cMetaDataElement& index) const = 0;
    virtual Statements DropIndex(const cMetaDataElement& index) const = 0;
    virtual Statements CreateView(const cMetaDataElement& view) const = 0;
    virtual Statements DropView(const cMetaDataElement& view) const = 0;
    virtual Statements CreateRoutine(const cMetaDataElement& routine) const = 0;
    virtual Statements DropRoutine(const cMetaDataElement& routine) const = 0;
    // A routine changed in place where the engine can; else dropped and made again.
    virtual Statements ReplaceRoutine(const cMetaDataElement& current, const cMetaDataElement& desired) const;
    virtual Statements CreateTrigger(const cMetaDataElement& trigger) const = 0;
    virtual Statements DropTrigger(const cMetaDataElement& trigger) const = 0;
    // CREATE, ALTER and DROP SEQUENCE as the standard spells them; NoCycle is the words for no cycle.
    virtual std::string NoCycle() const { return "NO CYCLE"; }
    virtual Statements CreateSequence(const cMetaDataElement& sequence) const;
    virtual Statements AlterSequence(const cMetaDataElement& current, const cMetaDataElement& desired) const;
    virtual Statements DropSequence(const cMetaDataElement& sequence) const;
    virtual Statements CreateType(const cMetaDataElement& type) const;
    virtual Statements AlterType(const cMetaDataElement& current, const cMetaDataElement& desired) const;
    virtual Statements DropType(const cMetaDataElement& type) const;

    // The name of a constraint, index or trigger without its table, where the model names it
    // TABLE.NAME; the table it belongs to, or empty where no definition tells.
    virtual std::string OwnName(const cMetaDataElement& element) const;
    virtual std::string TableOf(const cMetaDataElement& element) const;
};

// The value of a definition's property, or nothing.
const std::string* PropertyOf(const std::shared_ptr<const Properties>& definition, std::string_view key);
// The value, or empty.
std::string PropertyText(const std::shared_ptr<const Properties>& definition, std::string_view key);

// True when a column of type `from` can take type `to` without losing any value: a longer
// length, more precision, a wider integer or float, any text.
bool TypeWidens(std::string_view from, std::string_view to);

// Texts the dialects take apart and put together.
bool StartsWith(std::string_view text, std::string_view start);
std::string WithoutSuffix(std::string text, std::string_view suffix);
// The text between the first "(" at or after `from` and its closing ")", and where that ends.
std::pair<std::string_view, std::size_t> Parenthesized(std::string_view text, std::size_t from = 0);
// `text` between `open` and `close`, every `close` within doubled: how engines quote.
std::string Enclosed(std::string_view text, std::string_view open, char close);

// The comma-separated parts of a list, outside parentheses and quotes: "a, b(1, 2)" gives
// "a" and "b(1, 2)".
std::vector<std::string> ListParts(std::string_view list);

}  // namespace tablor
