#pragma once
#include "migrate/SqlDialect.hpp"

namespace tablor {

// PostgreSQL: the whole script runs in one transaction; bodies, keys, indexes and triggers are
// written as pg_get_*def gave them.
class PostgresDialect : public SqlDialect {
  public:
    std::string Quote(std::string_view identifier) const override;
    std::string Literal(std::string_view text) const override;
    std::string Qualified(const cMetaDataElement& element, std::string_view name) const override;
    std::string Opening() const override;
    std::string Closing() const override;

    Statements CreateTable(const cMetaDataElement& table,
                           const std::vector<const cMetaDataElement*>& keys) const override;
    Statements DropTable(const cMetaDataElement& table) const override;
    Statements AlterTable(const cMetaDataElement& current, const cMetaDataElement& desired) const override;
    Statements AddColumn(const cMetaDataElement& table, const cField& column) const override;
    Statements DropColumn(const cMetaDataElement& table, const cField& column) const override;
    Statements AlterColumn(const cMetaDataElement& table, const cField& current,
                           const cField& desired) const override;
    bool RebuildsColumn(const cField& current, const cField& desired) const override;
    Statements AddConstraint(const cMetaDataElement& constraint, std::string_view table) const override;
    Statements DropConstraint(const cMetaDataElement& constraint, std::string_view table) const override;
    Statements CreateIndex(const cMetaDataElement& index) const override;
    Statements DropIndex(const cMetaDataElement& index) const override;
    Statements CreateView(const cMetaDataElement& view) const override;
    Statements DropView(const cMetaDataElement& view) const override;
    Statements CreateRoutine(const cMetaDataElement& routine) const override;
    Statements DropRoutine(const cMetaDataElement& routine) const override;
    Statements ReplaceRoutine(const cMetaDataElement& current,
                              const cMetaDataElement& desired) const override;
    Statements CreateTrigger(const cMetaDataElement& trigger) const override;
    Statements DropTrigger(const cMetaDataElement& trigger) const override;
    Statements CreateType(const cMetaDataElement& type) const override;
    Statements AlterType(const cMetaDataElement& current, const cMetaDataElement& desired) const override;
    Statements DropType(const cMetaDataElement& type) const override;

  private:
    std::string ColumnSpecification(const cField& column) const;
    Statements ColumnComment(const cMetaDataElement& table, const cField& column, bool always) const;
};

}  // namespace tablor
