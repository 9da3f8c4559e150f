#include "migrate/MigrationPlanner.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "compare/CompareOptions.hpp"
#include "compare/DefinitionComparison.hpp"
#include "compare/cCompareEngine.hpp"
#include "migrate/SqlDialect.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {

// Where a statement runs in the script: what depends on an object is dropped before it changes
// and made after.
enum Phase {
    kDropTriggers,
    kDropViews,
    kDropRoutines,
    kDropForeignKeys,
    kDropConstraints,
    kDropIndexes,
    kCreateTypes,
    kAlterTypes,
    kCreateSequences,
    kAlterSequences,
    kCreateTables,
    kAlterTables,
    kAddColumns,
    kAlterColumns,
    kDropColumns,
    kDropTables,
    kAddConstraints,
    kCreateIndexes,
    kAddForeignKeys,
    kCreateRoutines,
    kCreateViews,
    kCreateTriggers,
    kDropSequences,
    kDropTypes,
    kPhases
};

using Element = cMetaDataElement;

bool SameProperties(const std::shared_ptr<const Properties>& a, const std::shared_ptr<const Properties>& b) {
    // What a side does not know is never changed.
    if (!a || !b || a == b) return true;
    std::unordered_map<std::string_view, const std::string*> others;
    for (const auto& [key, value] : *b) others.emplace(key, &value);
    for (const auto& [key, value] : *a) {
        const auto found = others.find(key);
        if (found == others.end()) return false;
        if (*found->second != value &&
            DefinitionComparison::Normalized(*found->second) != DefinitionComparison::Normalized(value))
            return false;
        others.erase(found);
    }
    return others.empty();
}

bool IsForeignKey(const Element& constraint) {
    return StartsWith(PropertyText(constraint.Definition, "definition"), "FOREIGN KEY");
}

bool IsKey(const Element& constraint) {
    const std::string definition = PropertyText(constraint.Definition, "definition");
    return StartsWith(definition, "PRIMARY KEY") || StartsWith(definition, "UNIQUE");
}

// The words of a text that may name an object, lowered and without their quotes: a view that
// names a table depends on it.
std::unordered_set<std::string> NamesIn(std::string_view text) {
    std::unordered_set<std::string> names;
    std::string word;
    char quote = 0;
    const auto flush = [&] {
        if (!word.empty()) names.insert(FoldCase(word));
        word.clear();
    };
    for (const char c : text) {
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
                flush();
            } else {
                word += c;
            }
            continue;
        }
        if (c == '"' || c == '`' || c == '[' || c == ']') {
            flush();
            quote = c == '[' ? ']' : (c == ']' ? '\0' : c);
            continue;
        }
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
            (static_cast<unsigned char>(c) & 0x80) != 0)
            word += c;
        else
            flush();
    }
    flush();
    return names;
}

// The table a foreign key's definition references: "... REFERENCES [schema.]table(...".
std::string ReferencedTable(const Element& constraint) {
    const std::string definition = PropertyText(constraint.Definition, "definition");
    const std::size_t at = definition.find(" REFERENCES ");
    if (at == std::string::npos) return {};
    std::string table = definition.substr(at + 12);
    table = table.substr(0, table.find_first_of(" ("));
    const std::size_t dot = table.rfind('.');
    if (dot != std::string::npos) table = table.substr(dot + 1);
    table.erase(std::remove_if(table.begin(), table.end(), [](char c) { return c == '"' || c == '`'; }),
                table.end());
    return FoldCase(table);
}

class Planner {
  public:
    Planner(const cMetaData& current, const cMetaData& desired, const MigrationOptions& options)
        : current_(current),
          desired_(desired),
          options_(options),
          dialect_(SqlDialect::For(options.dialect)),
          bySchema_(cCompareEngine::PairsBySchema(current, desired)),
          include_(options.include),
          exclude_(options.exclude) {}

    MigrationScript Plan() {
        PlanTypesAndSequences();
        PlanTables();
        PlanViewColumns();
        PlanConstraints();
        PlanIndexesAndTriggers();
        PlanRoutines();
        PlanViews();
        MigrationScript script;
        script.dialect = options_.dialect;
        for (auto& phase : phases_) {
            for (auto& statement : phase) {
                if (statement.losesData && options_.allowDrop) statement.heldBack.clear();
                script.statements.push_back(std::move(statement));
            }
        }
        return script;
    }

  private:
    using Pairs = std::vector<std::pair<const Element*, const Element*>>;

    bool KeepName(std::string_view name) const {
        if (!include_.Empty() && !include_.MatchesAll() && !include_.Matches(name)) return false;
        return !exclude_.Matches(name);
    }

    // What the globs leave, and of a table's key, index or trigger, only while they leave its table.
    bool Keep(const Element& element) const {
        if (!KeepName(element.ObjectName)) return false;
        if (element.ObjectType != ObjectType::Constraint && element.ObjectType != ObjectType::Index &&
            element.ObjectType != ObjectType::Trigger)
            return true;
        const std::string table = dialect_->TableOf(element);
        return table.empty() || exclude_.Empty() || !exclude_.Matches(table);
    }

    std::string Key(const Element& element) const {
        std::string key = bySchema_ ? element.Schema + '\x1f' : std::string();
        if (element.ObjectType == ObjectType::Constraint)
            return key + FoldCase(dialect_->TableOf(element)) + '\x1f' + dialect_->OwnName(element);
        key += element.ObjectName;
        if (const std::string* signature = PropertyOf(element.Definition, "signature"))
            key += "(" + *signature + ")";
        return key;
    }

    std::string TableKey(const Element& element, std::string_view table) const {
        return (bySchema_ ? element.Schema + '\x1f' : std::string()) + FoldCase(std::string(table));
    }

    // The elements of one kind: those only in `current` (first of each pair null), only in
    // `desired` (second null), and in both, in the order each side holds them.
    Pairs Pair(const std::vector<std::shared_ptr<Element>>& now,
               const std::vector<std::shared_ptr<Element>>& wanted) {
        std::unordered_map<std::string, const Element*> byKey;
        for (const auto& element : wanted)
            if (Keep(*element)) byKey.emplace(Key(*element), element.get());
        Pairs pairs;
        std::unordered_set<const Element*> paired;
        for (const auto& element : now) {
            if (!Keep(*element)) continue;
            const auto found = byKey.find(Key(*element));
            const Element* match = found == byKey.end() ? nullptr : found->second;
            if (match != nullptr && !paired.insert(match).second) continue;
            pairs.emplace_back(element.get(), match);
        }
        for (const auto& element : wanted)
            if (Keep(*element) && paired.count(element.get()) == 0 &&
                byKey.at(Key(*element)) == element.get())
                pairs.emplace_back(nullptr, element.get());
        return pairs;
    }

    void Add(Phase phase, Statements statements) {
        for (auto& statement : statements) phases_[phase].push_back(std::move(statement));
    }

    void PlanTypesAndSequences() {
        for (const auto& [now, wanted] : Pair(current_.Types().Items(), desired_.Types().Items())) {
            if (now == nullptr)
                Add(kCreateTypes, dialect_->CreateType(*wanted));
            else if (wanted == nullptr)
                Add(kDropTypes, dialect_->DropType(*now));
            else if (!SameProperties(now->Definition, wanted->Definition))
                Add(kAlterTypes, dialect_->AlterType(*now, *wanted));
        }
        for (const auto& [now, wanted] : Pair(current_.Sequences().Items(), desired_.Sequences().Items())) {
            if (now == nullptr)
                Add(kCreateSequences, dialect_->CreateSequence(*wanted));
            else if (wanted == nullptr)
                Add(kDropSequences, dialect_->DropSequence(*now));
            else if (!SameProperties(now->Definition, wanted->Definition))
                Add(kAlterSequences, dialect_->AlterSequence(*now, *wanted));
        }
    }

    void PlanTables() {
        // Keys go with a new table as it is made.
        std::unordered_map<std::string, std::vector<const Element*>> keysOf;
        for (const auto& constraint : desired_.Constraints().Items())
            if (Keep(*constraint) && IsKey(*constraint))
                keysOf[TableKey(*constraint, dialect_->TableOf(*constraint))].push_back(constraint.get());
        Pairs created;
        for (const auto& pair : Pair(BaseTables(current_), BaseTables(desired_))) {
            const auto& [now, wanted] = pair;
            if (now == nullptr) {
                created.push_back(pair);
            } else if (wanted == nullptr) {
                Add(kDropTables, dialect_->DropTable(*now));
                changedTables_.insert(TableKey(*now, now->ObjectName));
                droppedTables_.insert(TableKey(*now, now->ObjectName));
            } else {
                if (!SameProperties(now->Definition, wanted->Definition))
                    Add(kAlterTables, dialect_->AlterTable(*now, *wanted));
                // A partition's columns are its parent's: they change with the parent.
                const bool partitions = PropertyOf(now->Definition, "partition of") != nullptr &&
                                        PropertyOf(wanted->Definition, "partition of") != nullptr;
                if (!partitions) PlanColumns(*now, *wanted);
            }
        }
        // A partition is made after the table it belongs to.
        std::stable_partition(created.begin(), created.end(), [](const auto& pair) {
            return PropertyOf(pair.second->Definition, "partition of") == nullptr;
        });
        for (const auto& [now, wanted] : created) {
            const auto keys = keysOf.find(TableKey(*wanted, wanted->ObjectName));
            const std::vector<const Element*> none;
            const auto& inlineKeys = keys == keysOf.end() ? none : keys->second;
            for (const Element* key : inlineKeys) madeWithTable_.insert(key);
            Add(kCreateTables, dialect_->CreateTable(*wanted, inlineKeys));
        }
    }

    // The tables that are no views, or with `views` the views: catalogues list a view's columns
    // as a table's.
    std::vector<std::shared_ptr<Element>> BaseTables(const cMetaData& side, bool views = false) const {
        std::unordered_set<std::string> names;
        for (const auto& view : side.Views().Items()) names.insert(TableKey(*view, view->ObjectName));
        std::vector<std::shared_ptr<Element>> tables;
        for (const auto& table : side.Tables().Items())
            if ((names.count(TableKey(*table, table->ObjectName)) != 0) == views) tables.push_back(table);
        return tables;
    }

    // A view whose columns change (a column of a table under it changed type) is made again.
    void PlanViewColumns() {
        for (const auto& [now, wanted] : Pair(BaseTables(current_, true), BaseTables(desired_, true))) {
            if (now == nullptr || wanted == nullptr) continue;
            const auto& a = now->Fields().Items();
            const auto& b = wanted->Fields().Items();
            const bool same =
                std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
                    return x->FieldName == y->FieldName && SameProperties(x->Definition, y->Definition);
                });
            if (!same) changedTables_.insert(TableKey(*now, now->ObjectName));
        }
    }

    void PlanColumns(const Element& now, const Element& wanted) {
        std::unordered_map<std::string_view, const cField*> wantedByName;
        for (const auto& column : wanted.Fields()) wantedByName.emplace(column->FieldName, column);
        bool rebuilt = false;
        for (const auto& column : now.Fields()) {
            const auto found = wantedByName.find(column->FieldName);
            if (found == wantedByName.end()) {
                Add(kDropColumns, dialect_->DropColumn(wanted, *column));
                rebuilt = true;
                continue;
            }
            const cField& target = *found->second;
            wantedByName.erase(found);
            if (SameProperties(column->Definition, target.Definition)) continue;
            Add(kAlterColumns, dialect_->AlterColumn(wanted, *column, target));
            rebuilt = rebuilt || dialect_->RebuildsColumn(*column, target);
        }
        for (const auto& column : wanted.Fields())
            if (wantedByName.count(column->FieldName) != 0)
                Add(kAddColumns, dialect_->AddColumn(wanted, *column));
        if (rebuilt) changedTables_.insert(TableKey(now, now.ObjectName));
    }

    void PlanConstraints() {
        std::unordered_set<std::string> rekeyed;  // tables whose keys are dropped or changed
        std::unordered_set<const Element*> dropped;
        std::unordered_set<const Element*> added;
        const auto drop = [&](const Element& constraint) {
            const std::string table = dialect_->TableOf(constraint);
            const bool withTable = droppedTables_.count(TableKey(constraint, table)) != 0;
            // A dropped table takes its constraints along, but its foreign keys go first: they may
            // hold on to another dropped table (a cycle). They go only where the table does.
            if ((withTable && !IsForeignKey(constraint)) || !dropped.insert(&constraint).second) return;
            if (IsKey(constraint)) rekeyed.insert(TableKey(constraint, table));
            Statements statements = dialect_->DropConstraint(constraint, table);
            if (withTable)
                for (auto& statement : statements)
                    statement = MigrationStatement::LosesData(
                        statement.sql, "it goes with table " + table + ", which is dropped");
            Add(IsForeignKey(constraint) ? kDropForeignKeys : kDropConstraints, std::move(statements));
        };
        const auto add = [&](const Element& constraint) {
            if (madeWithTable_.count(&constraint) != 0 || !added.insert(&constraint).second) return;
            Add(IsForeignKey(constraint) ? kAddForeignKeys : kAddConstraints,
                dialect_->AddConstraint(constraint, dialect_->TableOf(constraint)));
        };
        // A partition's copy of its parent's constraint names no table: it comes with the parent.
        const auto owned = [this](const cMetaData& side) {
            std::vector<std::shared_ptr<Element>> out;
            for (const auto& constraint : side.Constraints().Items())
                if (!dialect_->TableOf(*constraint).empty()) out.push_back(constraint);
            return out;
        };
        const Pairs pairs = Pair(owned(current_), owned(desired_));
        for (const auto& [now, wanted] : pairs) {
            if (wanted == nullptr)
                drop(*now);
            else if (now == nullptr)
                add(*wanted);
            else if (!SameProperties(now->Definition, wanted->Definition)) {
                drop(*now);
                add(*wanted);
            }
        }
        // A foreign key holds on to the key it references: it is dropped before that key and
        // made again after.
        for (const auto& [now, wanted] : pairs) {
            if (now == nullptr || !IsForeignKey(*now)) continue;
            const std::string referenced = TableKey(*now, ReferencedTable(*now));
            if (rekeyed.count(referenced) == 0) continue;
            drop(*now);
            if (wanted != nullptr) add(*wanted);
        }
    }

    void PlanIndexesAndTriggers() {
        for (const auto& [now, wanted] : Pair(current_.Indexes().Items(), desired_.Indexes().Items())) {
            if (now != nullptr &&
                (wanted == nullptr || !SameProperties(now->Definition, wanted->Definition)) &&
                droppedTables_.count(TableKey(*now, dialect_->TableOf(*now))) == 0)
                Add(kDropIndexes, dialect_->DropIndex(*now));
            if (wanted != nullptr && (now == nullptr || !SameProperties(now->Definition, wanted->Definition)))
                Add(kCreateIndexes, dialect_->CreateIndex(*wanted));
        }
        for (const auto& [now, wanted] : Pair(current_.Triggers().Items(), desired_.Triggers().Items())) {
            if (now != nullptr &&
                (wanted == nullptr || !SameProperties(now->Definition, wanted->Definition)) &&
                droppedTables_.count(TableKey(*now, dialect_->TableOf(*now))) == 0)
                Add(kDropTriggers, dialect_->DropTrigger(*now));
            if (wanted != nullptr && (now == nullptr || !SameProperties(now->Definition, wanted->Definition)))
                Add(kCreateTriggers, dialect_->CreateTrigger(*wanted));
        }
    }

    void PlanRoutines() {
        for (const auto& [now, wanted] : Pair(current_.Routines().Items(), desired_.Routines().Items())) {
            if (wanted == nullptr)
                Add(kDropRoutines, dialect_->DropRoutine(*now));
            else if (now == nullptr)
                Add(kCreateRoutines, dialect_->CreateRoutine(*wanted));
            else if (!SameProperties(now->Definition, wanted->Definition) ||
                     now->ObjectType != wanted->ObjectType)
                Add(kCreateRoutines, dialect_->ReplaceRoutine(*now, *wanted));
        }
    }

    // Views are dropped where they change, go, or stand over a table or view that changes, and
    // made again in the order their names need each other.
    void PlanViews() {
        const Pairs pairs = Pair(current_.Views().Items(), desired_.Views().Items());
        std::unordered_set<std::string> changing = changedTables_;
        std::vector<const Element*> drops;
        std::vector<const Element*> creates;
        std::vector<bool> dropped(pairs.size(), false);
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const auto& [now, wanted] = pairs[i];
            if (now != nullptr &&
                (wanted == nullptr || !SameProperties(now->Definition, wanted->Definition) ||
                 changing.count(TableKey(*now, now->ObjectName)) != 0)) {
                dropped[i] = true;
                changing.insert(TableKey(*now, now->ObjectName));
            }
        }
        // Until no more views are found to stand over one that changes.
        for (bool more = true; more;) {
            more = false;
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                const Element* now = pairs[i].first;
                if (dropped[i] || now == nullptr) continue;
                for (const std::string& name : NamesIn(PropertyText(now->Definition, "definition"))) {
                    if (changing.count(TableKey(*now, name)) == 0) continue;
                    dropped[i] = more = true;
                    changing.insert(TableKey(*now, now->ObjectName));
                    break;
                }
            }
        }
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            if (dropped[i]) drops.push_back(pairs[i].first);
            if (pairs[i].second != nullptr && (pairs[i].first == nullptr || dropped[i]))
                creates.push_back(pairs[i].second);
        }
        const auto ordered = [this](const std::vector<const Element*>& views) {
            // Each view after those it names.
            std::unordered_map<std::string, const Element*> byName;
            for (const Element* view : views) byName.emplace(TableKey(*view, view->ObjectName), view);
            std::vector<const Element*> out;
            std::unordered_set<const Element*> placed, visiting;
            std::function<void(const Element*)> place = [&](const Element* view) {
                if (placed.count(view) != 0 || !visiting.insert(view).second) return;
                for (const std::string& name : NamesIn(PropertyText(view->Definition, "definition"))) {
                    const auto found = byName.find(TableKey(*view, name));
                    if (found != byName.end() && found->second != view) place(found->second);
                }
                placed.insert(view);
                out.push_back(view);
            };
            for (const Element* view : views) place(view);
            return out;
        };
        // Dropped the other way round: a view before those it names.
        std::vector<const Element*> dropOrder = ordered(drops);
        std::reverse(dropOrder.begin(), dropOrder.end());
        for (const Element* view : dropOrder) Add(kDropViews, dialect_->DropView(*view));
        for (const Element* view : ordered(creates)) Add(kCreateViews, dialect_->CreateView(*view));
    }

    const cMetaData& current_;
    const cMetaData& desired_;
    const MigrationOptions& options_;
    std::unique_ptr<SqlDialect> dialect_;
    const bool bySchema_;
    const GlobSet include_;
    const GlobSet exclude_;
    std::array<Statements, kPhases> phases_;
    // Tables (by TableKey) that go, or whose columns are dropped or rebuilt.
    std::unordered_set<std::string> changedTables_;
    std::unordered_set<std::string> droppedTables_;
    std::unordered_set<const Element*> madeWithTable_;
};

}  // namespace

MigrationScript PlanMigration(const cMetaData& current, const cMetaData& desired,
                              const MigrationOptions& options) {
    return Planner(current, desired, options).Plan();
}

bool DefinitionsKnown(const cMetaData& side) {
    for (const auto& table : side.Tables().Items()) {
        if (!table->Definition) return false;
        for (const auto& column : table->Fields())
            if (!column->Definition) return false;
    }
    for (const auto* elements :
         {&side.Views().Items(), &side.Routines().Items(), &side.Constraints().Items()})
        for (const auto& element : *elements)
            if (!element->Definition) return false;
    return true;
}

}  // namespace tablor
