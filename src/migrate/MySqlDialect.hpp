#pragma once
#include "migrate/SqlDialect.hpp"

namespace tablor {

// MySQL and MariaDB: one database is the schema, so names are never qualified; each DDL
// statement commits on its own. Keys and indexes are read back from the texts the catalogue
// query built ("PRIMARY KEY (a, b)", "UNIQUE BTREE (a(10) DESC)").
class MySqlDialect : public SqlDialect {
  public:
    std::string Quote(std::string_view identifier) const override;
    std::string Literal(std::string_view text) const override;
    std::string Qualified(const cMetaDataElement& element, std::string_view name) const override;
    std::string Opening() const override;
    std::string Closing() const override;
    std::string Terminated(const std::string& sql) const override;
    std::string TableOf(const cMetaDataElement& element) const override;

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
    Statements CreateTrigger(const cMetaDataElement& trigger) const override;
    Statements DropTrigger(const cMetaDataElement& trigger) const override;
    // MariaDB's sequences; MySQL has none, and none are read from it.
    std::string NoCycle() const override { return "NOCYCLE"; }

  private:
    // "a, b(10) DESC" with each column name quoted.
    std::string QuotedList(std::string_view list) const;
    std::string ColumnSpecification(const cField& column) const;
    // A key as ALTER TABLE ADD and CREATE TABLE take it.
    std::string ConstraintClause(const cMetaDataElement& constraint) const;
};

}  // namespace tablor
