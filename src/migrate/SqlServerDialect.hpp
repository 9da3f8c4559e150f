#pragma once
#include "migrate/SqlDialect.hpp"

namespace tablor {

// SQL Server's T-SQL: one transaction over batches that GO separates, views, routines and
// triggers written as OBJECT_DEFINITION gave them, comments as MS_Description properties.
class SqlServerDialect : public SqlDialect {
  public:
    std::string Quote(std::string_view identifier) const override;
    std::string Literal(std::string_view text) const override;
    std::string Qualified(const cMetaDataElement& element, std::string_view name) const override;
    std::string Opening() const override;
    std::string Closing() const override;
    std::string Terminated(const std::string& sql) const override;

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
    Statements CreateSequence(const cMetaDataElement& sequence) const override;
    Statements AlterSequence(const cMetaDataElement& current, const cMetaDataElement& desired) const override;
    Statements DropSequence(const cMetaDataElement& sequence) const override;
    Statements CreateType(const cMetaDataElement& type) const override;
    Statements AlterType(const cMetaDataElement& current, const cMetaDataElement& desired) const override;
    Statements DropType(const cMetaDataElement& type) const override;

  private:
    // "a ASC, b DESC" with each column name quoted.
    std::string QuotedList(std::string_view list) const;
    std::string ColumnSpecification(const cField& column) const;
    // A key as ALTER TABLE ADD and CREATE TABLE take it.
    std::string KeyClause(const cMetaDataElement& constraint) const;
    // Drops the default of a column, whatever the server named it.
    std::string DropDefault(const cMetaDataElement& table, const std::string& column) const;
    // The MS_Description of a table or column: added, updated or dropped.
    std::string Description(const cMetaDataElement& table, const std::string* column,
                            const std::string& action, const std::string* value) const;
    Statements Comment(const cMetaDataElement& table, const std::string* column,
                       const std::shared_ptr<const Properties>& was,
                       const std::shared_ptr<const Properties>& will) const;
};

}  // namespace tablor
