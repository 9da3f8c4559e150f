#pragma once
#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tablor::testing {

// Two schemas from one seed: a few tables of random columns, indexes, foreign keys (cycles
// among them) and a view each, then the same with random changes of every kind a migration
// carries. Written as PostgreSQL's or MySQL's DDL.
class RandomSchemaPair {
  public:
    RandomSchemaPair(unsigned seed, bool mysql) : random_(seed), mysql_(mysql) {
        for (int t = 0; t < 4; ++t) {
            Table table{"t" + std::to_string(t), {}, {}, {}};
            for (int c = 0; c < 4; ++c) table.columns.push_back(RandomColumn("c" + std::to_string(c)));
            schema_.push_back(std::move(table));
        }
        for (Table& table : schema_) {
            if (Chance(2)) table.index = table.columns[Pick(table.columns.size())].name;
            if (Chance(2)) table.reference = schema_[Pick(schema_.size())].name;
        }
        current = Ddl();
        for (int changes = 1 + static_cast<int>(Pick(5)); changes > 0; --changes) Change();
        desired = Ddl();
    }

    std::string current;
    std::string desired;

  private:
    struct Column {
        std::string name;
        std::string type;
        bool notNull = false;
        std::string defaultValue;
    };
    struct Table {
        std::string name;
        std::vector<Column> columns;
        std::string index;      // the column of its one index, if any
        std::string reference;  // the table its ref_id references, if any
    };

    std::size_t Pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
    }
    bool Chance(int oneIn) { return Pick(static_cast<std::size_t>(oneIn)) == 0; }

    Column RandomColumn(std::string name) {
        // MySQL indexes a text column only by a prefix: it has none.
        static const char* const kTypes[] = {"integer",       "bigint",        "varchar(20)", "varchar(80)",
                                             "numeric(10,2)", "numeric(12,4)", "date",        "text"};
        Column column{std::move(name), kTypes[Pick(std::size(kTypes) - (mysql_ ? 1 : 0))], Chance(3), {}};
        if (Chance(2) && column.type != "text")
            column.defaultValue = column.type.find("char") != std::string::npos ? "'x'"
                                  : column.type == "date"                       ? "'2020-01-01'"
                                                                                : "7";
        return column;
    }

    void Change() {
        Table& table = schema_[Pick(schema_.size())];
        switch (Pick(7)) {
            case 0:
                table.columns.push_back(RandomColumn("n" + std::to_string(++added_)));
                break;
            case 1:
                if (table.columns.size() > 1) {
                    const std::size_t at = Pick(table.columns.size());
                    if (table.index == table.columns[at].name) table.index.clear();
                    table.columns.erase(table.columns.begin() + static_cast<long>(at));
                }
                break;
            case 2: {
                Column& column = table.columns[Pick(table.columns.size())];
                column = RandomColumn(column.name);
                break;
            }
            case 3:
                table.columns[Pick(table.columns.size())].notNull ^= true;
                break;
            case 4:
                table.index = table.index.empty() ? table.columns[Pick(table.columns.size())].name : "";
                break;
            case 5:
                table.reference = table.reference.empty() ? schema_[Pick(schema_.size())].name : "";
                break;
            default:
                schema_.push_back(
                    {"n" + std::to_string(++added_), {RandomColumn("c0")}, {}, schema_[0].name});
                if (schema_.size() > 5) schema_.erase(schema_.begin() + 1);
                break;
        }
    }

    std::string Ddl() const {
        std::string ddl;
        for (const Table& table : schema_) {
            ddl += "CREATE TABLE " + table.name + " (id integer PRIMARY KEY, ref_id integer";
            for (const Column& column : table.columns) {
                ddl += ", " + column.name + " " + column.type + (column.notNull ? " NOT NULL" : "");
                if (!column.defaultValue.empty()) ddl += " DEFAULT " + column.defaultValue;
            }
            ddl += ");\n";
            if (!table.index.empty())
                ddl += "CREATE INDEX ix_" + table.name + " ON " + table.name + " (" + table.index + ");\n";
        }
        // Foreign keys once every table stands, so that they may form cycles.
        for (const Table& table : schema_) {
            const bool referenced = std::any_of(schema_.begin(), schema_.end(), [&](const Table& other) {
                return other.name == table.reference;
            });
            if (!table.reference.empty() && referenced)
                ddl += "ALTER TABLE " + table.name + " ADD CONSTRAINT fk_" + table.name +
                       " FOREIGN KEY (ref_id) REFERENCES " + table.reference + " (id);\n";
        }
        // A view over the first table's columns, and one over that view.
        std::string columns = "id";
        for (const Column& column : schema_[0].columns) columns += ", " + column.name;
        ddl += "CREATE VIEW v0 AS SELECT " + columns + " FROM " + schema_[0].name + ";\n";
        ddl += "CREATE VIEW v1 AS SELECT id FROM v0;\n";
        return ddl;
    }

    std::mt19937 random_;
    bool mysql_;
    std::vector<Table> schema_;
    int added_ = 0;
};

}  // namespace tablor::testing
