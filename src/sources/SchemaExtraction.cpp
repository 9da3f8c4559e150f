#include "sources/SchemaExtraction.hpp"

#include <algorithm>
#include <charconv>
#include <memory>

#include "model/ObjectType.hpp"
#include "sources/DefinitionQueries.hpp"
#include "support/TablorError.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {

std::string Text(RecordSet& rows, std::string_view column) {
    return rows.Value(column).value_or(std::string());
}

template <class OnRow>
void ReadRows(DatabaseSession& session, const std::string& sql, std::string_view section, long rowLimit,
              UserPrompt& prompt, OnRow&& onRow) {
    const std::unique_ptr<RecordSet> rows = session.Query(sql);
    long count = 0;
    while (rows->Next()) {
        if (count == rowLimit)
            throw DatabaseError("Reading stopped: the server sent more than " + std::to_string(rowLimit) +
                                " rows of " + std::string(section) + ", far more than any real schema has.");
        onRow(*rows);
        prompt.Progress(section, ++count);
    }
}

// Character columns carry their length; every other type, and a character type the server
// gives no length for, carries none.
std::string FieldSize(const std::string& dataType, const std::optional<std::string>& length) {
    if (!length || AsciiUpper(dataType).find("CHAR") == std::string::npos) return {};
    return *length;
}

// Views named sys..., in any letter case, are the server's own.
bool IsSystemView(std::string_view name) {
    return AsciiUpper(name.substr(0, 3)) == "SYS";
}

// Routines named dt_... belong to the design tools of old servers.
bool IsDesignToolRoutine(std::string_view name) {
    return name.substr(0, 3) == "dt_";
}

long Position(const std::string& text) {
    long position = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), position);
    if (error != std::errc() || end != text.data() + text.size())
        throw DatabaseError("The server gave a column position that is no number: \"" + text + "\".");
    return position;
}

// Puts `fields` in the order of their `positions`, one each.
void InPositionOrder(std::vector<cField>& fields, const std::vector<long>& positions) {
    if (std::is_sorted(positions.begin(), positions.end())) return;
    std::vector<std::size_t> order(fields.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&positions](std::size_t a, std::size_t b) { return positions[a] < positions[b]; });
    std::vector<cField> sorted;
    sorted.reserve(fields.size());
    for (const std::size_t i : order) sorted.push_back(std::move(fields[i]));
    fields = std::move(sorted);
}

// Reads the properties a row gives (DefinitionQueries.hpp), splitting each list of names once
// for the rows that share it.
class PropertyReader {
  public:
    explicit PropertyReader(std::vector<SchemaRows::Property>& properties) : properties_(properties) {}

    void Read(RecordSet& row, std::string kind, std::string schema, std::string name, std::string column) {
        std::optional<std::string> property = row.Value("PROPERTY");
        if (!property) return;
        if (property->find(kPropertySeparator) == std::string::npos) {
            properties_.push_back({std::move(kind), std::move(schema), std::move(name), std::move(column),
                                   std::move(*property), Text(row, "VALUE")});
            return;
        }
        Split(std::move(*property));
        for (std::size_t i = 0; i < names_.size(); ++i) {
            std::optional<std::string> value = row.Value(labels_[i]);
            if (value) properties_.push_back({kind, schema, name, column, names_[i], std::move(*value)});
        }
    }

    // The properties a row of the columns query gives, as its column's definition.
    ColumnDefinition::Shared Definition(RecordSet& row) {
        auto definition = std::make_shared<Properties>();
        std::optional<std::string> property = row.Value("PROPERTY");
        if (property) {
            Split(std::move(*property));
            for (std::size_t i = 0; i < names_.size(); ++i) {
                std::optional<std::string> value = row.Value(labels_[i]);
                if (value) definition->emplace_back(names_[i], std::move(*value));
            }
            std::stable_sort(definition->begin(), definition->end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        }
        return definition;
    }

  private:
    // The names in a PROPERTY list, and the labels of their values.
    void Split(std::string property) {
        if (property != namesText_) {
            namesText_ = std::move(property);
            names_.clear();
            for (std::size_t start = 0;;) {
                const std::size_t end = namesText_.find(kPropertySeparator, start);
                names_.push_back(namesText_.substr(start, end - start));
                if (end == std::string::npos) break;
                start = end + 1;
            }
        }
        while (labels_.size() < names_.size())
            labels_.push_back(labels_.empty() ? "VALUE" : "VALUE" + std::to_string(labels_.size() + 1));
    }

    std::vector<SchemaRows::Property>& properties_;
    std::string namesText_;
    std::vector<std::string> names_;
    std::vector<std::string> labels_;  // VALUE, VALUE2, ...
};

}  // namespace

std::string SchemaRows::TableKey(std::string_view schema, std::string_view name) {
    std::string key;
    key.reserve(schema.size() + name.size() + 1);
    key += schema;
    key += '\0';
    key += name;
    return key;
}

bool SchemaExtraction::Wanted(std::string_view schema) const {
    return schemas_.empty() || std::find(schemas_.begin(), schemas_.end(), schema) != schemas_.end();
}

std::string SchemaExtraction::ModelName(std::string_view schema, std::string name) const {
    if (!qualifyNames_) return name;
    std::string qualified;
    qualified.reserve(schema.size() + 1 + name.size());
    qualified += schema;
    qualified += '.';
    qualified += name;
    return qualified;
}

void SchemaExtraction::Read(DatabaseSession& session, const SchemaQueries& queries, UserPrompt& prompt) {
    rows_ = {};
    rows_.schemasKnown = queries.recordsSchemas;
    rows_.namesQualified = qualifyNames_;
    // Where the schema is not the database's own and nothing filters or qualifies by it, it is
    // not read.
    const bool schemaRead = queries.recordsSchemas || !schemas_.empty() || qualifyNames_;
    const auto schemaOf = [schemaRead](RecordSet& row, std::string_view column) {
        return schemaRead ? Text(row, column) : std::string();
    };
    const bool definitionsAsked = readDefinitions_ && !queries.definitions.empty();
    ReadRows(session, queries.tables, kTables, rowLimit_, prompt, [this](RecordSet& row) {
        std::string schema = Text(row, "TABLE_SCHEMA");
        if (!Wanted(schema)) return;
        std::string name = Text(row, "TABLE_NAME");
        std::string modelName = ModelName(schema, name);
        rows_.tables.push_back({std::move(schema), std::move(name), std::move(modelName)});
    });
    // The constraint types read, where definitions of some types are read only if there are any.
    const bool typesRead = definitionsAsked && !queries.constraintDefinitions.empty();
    std::vector<std::string> constraintTypes;
    ReadRows(session, queries.constraints, kConstraints, rowLimit_, prompt, [&](RecordSet& row) {
        const std::string schema = schemaOf(row, "CONSTRAINT_SCHEMA");
        if (!Wanted(schema)) return;
        rows_.constraints.push_back({schema, ModelName(schema, Text(row, "CONSTRAINT_NAME"))});
        if (!typesRead) return;
        std::string type = Text(row, "CONSTRAINT_TYPE");
        if (std::find(constraintTypes.begin(), constraintTypes.end(), type) == constraintTypes.end())
            constraintTypes.push_back(std::move(type));
    });
    ReadRows(session, queries.views, kViews, rowLimit_, prompt, [&](RecordSet& row) {
        const std::string schema = schemaOf(row, "TABLE_SCHEMA");
        if (!Wanted(schema)) return;
        std::string name = Text(row, "TABLE_NAME");
        if (!IsSystemView(name)) rows_.views.push_back({schema, ModelName(schema, std::move(name))});
    });
    ReadRows(session, queries.routines, kRoutines, rowLimit_, prompt, [&](RecordSet& row) {
        const std::string schema = schemaOf(row, "ROUTINE_SCHEMA");
        if (!Wanted(schema)) return;
        std::string name = Text(row, "ROUTINE_NAME");
        if (IsDesignToolRoutine(name)) return;
        const bool isFunction = row.Value("ROUTINE_TYPE") == std::optional<std::string>("FUNCTION");
        std::string specific = definitionsAsked ? Text(row, "SPECIFIC_NAME") : std::string();
        rows_.routines.push_back(
            {schema, ModelName(schema, std::move(name)), isFunction, std::move(specific)});
    });
    if (!queries.materializedViews.empty()) {
        ReadRows(session, queries.materializedViews, kViews, rowLimit_, prompt, [&](RecordSet& row) {
            const std::string schema = Text(row, "TABLE_SCHEMA");
            if (Wanted(schema)) rows_.views.push_back({schema, ModelName(schema, Text(row, "TABLE_NAME"))});
        });
    }
    if (!queries.hiddenRelations.empty()) {
        std::vector<std::string> hidden;
        ReadRows(session, queries.hiddenRelations, kTables, rowLimit_, prompt, [&](RecordSet& row) {
            const std::string schema = Text(row, "TABLE_SCHEMA");
            if (Wanted(schema)) hidden.push_back(schema + "." + Text(row, "TABLE_NAME"));
        });
        // They would show as missing from this side: a comparison that cannot be trusted.
        if (!hidden.empty())
            throw DatabaseError(
                "This login holds no privilege on " + std::to_string(hidden.size()) +
                " of the database's tables and views (" + hidden.front() +
                (hidden.size() > 1 ? ", ..." : "") +
                "), so their structure cannot be read and they would show as missing. "
                "Grant it a privilege on them (SELECT will do), or read as a login that has one.");
    }
    PropertyReader properties(rows_.properties);
    const bool columnProperties = definitionsAsked && !queries.columnsWithDefinitions.empty();
    const std::string& columnsQuery = columnProperties ? queries.columnsWithDefinitions : queries.columns;
    // Each table's column positions, where the query gives its columns unsorted.
    std::unordered_map<std::vector<cField>*, std::vector<long>> positions;
    ReadRows(session, columnsQuery, kColumns, rowLimit_, prompt, [&](RecordSet& row) {
        const std::string schema = Text(row, "TABLE_SCHEMA");
        if (!Wanted(schema)) return;
        const std::string table = Text(row, "TABLE_NAME");
        cField field;
        field.FieldName = Text(row, "COLUMN_NAME");
        const std::optional<std::string> length = row.Value("CHARACTER_MAXIMUM_LENGTH");
        field.FieldType = Text(row, "DATA_TYPE");
        field.FieldSize = FieldSize(field.FieldType, length);
        std::vector<cField>& fields = rows_.columns[SchemaRows::TableKey(schema, table)];
        if (columnProperties) {
            positions[&fields].push_back(Position(Text(row, "ORDINAL_POSITION")));
            field.Definition = properties.Definition(row);
        }
        fields.push_back(std::move(field));
    });
    for (auto& [fields, order] : positions) InPositionOrder(*fields, order);
    if (definitionsAsked) {
        rows_.definitionsRead = true;
        // The sequences the definitions query names, whose options are read apart.
        std::vector<std::string> sequences;
        bool listingSequences = queries.sequenceDefinitions != nullptr;
        const auto readDefinition = [&](RecordSet& row) {
            std::string kind = Text(row, "OBJECT_KIND");
            // A text this login may not read would compare as an empty one: the query says so by a
            // row of its own, whose value tells why.
            if (kind == "withheld") throw DatabaseError(Text(row, "VALUE"));
            std::string schema = schemaOf(row, "OBJECT_SCHEMA");
            if (!Wanted(schema)) return;
            std::string name = Text(row, "OBJECT_NAME");
            if (kind == "sequence" && listingSequences) sequences.push_back(name);
            properties.Read(row, std::move(kind), std::move(schema), std::move(name),
                            Text(row, "COLUMN_NAME"));
        };
        ReadRows(session, queries.definitions, kDefinitions, rowLimit_, prompt, readDefinition);
        listingSequences = false;
        for (const auto& [type, query] : queries.constraintDefinitions) {
            if (std::find(constraintTypes.begin(), constraintTypes.end(), type) != constraintTypes.end())
                ReadRows(session, query, kDefinitions, rowLimit_, prompt, readDefinition);
        }
        // A few hundred a query, so that none grows past what a server takes.
        constexpr std::size_t kSequencesAQuery = 200;
        for (std::size_t first = 0; first < sequences.size(); first += kSequencesAQuery) {
            const auto begin = sequences.begin() + static_cast<std::ptrdiff_t>(first);
            const std::vector<std::string> some(
                begin,
                begin + static_cast<std::ptrdiff_t>(std::min(sequences.size() - first, kSequencesAQuery)));
            ReadRows(session, queries.sequenceDefinitions(some), kDefinitions, rowLimit_, prompt,
                     readDefinition);
        }
    }
    // A schema asked for that gives nothing is a wrong name, or one this login cannot see into:
    // reading on would show every object as missing.
    for (const std::string& schema : schemas_) {
        const auto in = [&schema](const auto& rows) {
            return std::any_of(rows.begin(), rows.end(),
                               [&schema](const auto& row) { return row.schema == schema; });
        };
        if (!in(rows_.tables) && !in(rows_.views) && !in(rows_.constraints) && !in(rows_.routines))
            throw DatabaseError(
                "The schema \"" + schema +
                "\" holds no table, view, routine or constraint that this login can read: check "
                "its name, which must match letter for letter, and the login's privileges.");
    }
}

namespace {

// The definitions read, by object (kind, schema, name and column in one key), each in order of
// property name.
class DefinitionsByObject {
  public:
    explicit DefinitionsByObject(const std::vector<SchemaRows::Property>& rows) {
        byKey_.reserve(rows.size());
        for (const SchemaRows::Property& row : rows) {
            const auto [at, added] = byKey_.try_emplace(Key(row.kind, row.schema, row.name, row.column));
            if (added) {
                at->second = std::make_shared<Properties>();
                if (!IsElementKind(row.kind)) created_.push_back(&row);
            }
            at->second->emplace_back(row.property, row.value);
        }
        for (auto& [key, properties] : byKey_)
            std::stable_sort(properties->begin(), properties->end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    // An object's definition: empty when the catalogue told nothing of it, known all the same.
    // Objects of one key (constraints repeated by partitions) share it: a list is never changed.
    std::shared_ptr<const Properties> Of(std::string_view kind, std::string_view schema,
                                         std::string_view name, std::string_view column = {}) const {
        const auto found = byKey_.find(Key(kind, schema, name, column));
        if (found == byKey_.end()) return std::make_shared<const Properties>();
        return found->second;
    }
    // The first row of each index, trigger, sequence and type, in the order read.
    const std::vector<const SchemaRows::Property*>& Created() const noexcept { return created_; }

  private:
    static bool IsElementKind(std::string_view kind) {
        return kind == "table" || kind == "column" || kind == "view" || kind == "routine" ||
               kind == "constraint";
    }
    static std::string Key(std::string_view kind, std::string_view schema, std::string_view name,
                           std::string_view column) {
        std::string key(kind);
        for (const std::string_view part : {schema, name, column}) key.append(1, '\0').append(part);
        return key;
    }

    std::unordered_map<std::string, std::shared_ptr<Properties>> byKey_;
    std::vector<const SchemaRows::Property*> created_;
};

}  // namespace

void SchemaExtraction::ApplyDefinitions(cMetaData& model) const {
    const DefinitionsByObject definitions(rows_.properties);
    // The model names an object SCHEMA.NAME when names are qualified; the catalogue by its own.
    const auto ownName = [this](const cMetaDataElement& element) -> std::string_view {
        if (!rows_.namesQualified) return element.ObjectName;
        return std::string_view(element.ObjectName).substr(element.Schema.size() + 1);
    };
    const auto schemaOf = [this](const std::string& schema) {
        return rows_.schemasKnown ? schema : std::string();
    };
    for (std::size_t i = 0; i < rows_.tables.size(); ++i) {
        const SchemaRows::Table& row = rows_.tables[i];
        cMetaDataElement& table = *model.Tables().Items()[i];
        table.Definition = definitions.Of("table", schemaOf(row.schema), row.name);
        // Columns read with their properties have their definitions already.
        for (const auto& field : table.Fields()) {
            if (!field->Definition)
                field->Definition =
                    definitions.Of("column", schemaOf(row.schema), row.name, field->FieldName);
        }
    }
    for (const auto& [kind, elements] :
         {std::pair{"view", &model.Views().Items()}, std::pair{"constraint", &model.Constraints().Items()}}) {
        for (const auto& element : *elements)
            element->Definition = definitions.Of(kind, element->Schema, ownName(*element));
    }
    for (std::size_t i = 0; i < rows_.routines.size(); ++i)
        model.Routines().Items()[i]->Definition =
            definitions.Of("routine", schemaOf(rows_.routines[i].schema), rows_.routines[i].specificName);
    for (const SchemaRows::Property* first : definitions.Created()) {
        std::string name = rows_.namesQualified ? first->schema + "." + first->name : first->name;
        std::shared_ptr<cMetaDataElement> element;
        if (first->kind == "index")
            element = model.Indexes().Add(std::move(name));
        else if (first->kind == "trigger")
            element = model.Triggers().Add(std::move(name));
        else if (first->kind == "sequence")
            element = model.Sequences().Add(std::move(name));
        else if (first->kind == "type")
            element = model.Types().Add(std::move(name));
        else
            continue;
        if (rows_.schemasKnown) element->Schema = first->schema;
        element->Definition = definitions.Of(first->kind, first->schema, first->name);
    }
}

void SchemaExtraction::Apply(cMetaData& model) const {
    Tables& tables = model.Tables();
    tables.Clear();
    tables.Reserve(rows_.tables.size());
    for (const SchemaRows::Table& row : rows_.tables) {
        const auto table = tables.Add(row.modelName);
        if (rows_.schemasKnown) table->Schema = row.schema;
        const auto columns = rows_.columns.find(SchemaRows::TableKey(row.schema, row.name));
        if (columns == rows_.columns.end()) continue;
        coFields& fields = table->Fields();
        fields.Reserve(columns->second.size());
        for (const cField& field : columns->second) {
            try {
                const auto added = fields.Add(field.FieldName, field.FieldType, field.FieldSize);
                if (field.Definition) added->Definition = field.Definition;
            } catch (const TablorError& error) {
                // Say where: the collection's own text names neither table nor column.
                throw TablorError(error.Number(), error.Description() + " (column \"" + field.FieldName +
                                                      "\" of table \"" + row.modelName + "\")");
            }
        }
    }

    Constraints& constraints = model.Constraints();
    constraints.Clear();
    constraints.Reserve(rows_.constraints.size());
    for (const SchemaRows::Named& row : rows_.constraints) {
        const auto constraint = constraints.Add(row.name);
        if (rows_.schemasKnown) constraint->Schema = row.schema;
    }

    Views& views = model.Views();
    views.Clear();
    views.Reserve(rows_.views.size());
    for (const SchemaRows::Named& row : rows_.views) {
        const auto view = views.Add(row.name);
        if (rows_.schemasKnown) view->Schema = row.schema;
    }

    Routines& routines = model.Routines();
    routines.Clear();
    routines.Reserve(rows_.routines.size());
    for (const SchemaRows::Routine& row : rows_.routines) {
        const auto routine = routines.Add(row.name, 0);
        routine->ObjectType = row.isFunction ? ObjectType::Function : ObjectType::Procedure;
        if (rows_.schemasKnown) routine->Schema = row.schema;
    }

    for (Collection<cMetaDataElement>* kind : std::initializer_list<Collection<cMetaDataElement>*>{
             &model.Indexes(), &model.Triggers(), &model.Sequences(), &model.Types()})
        kind->Clear();
    if (rows_.definitionsRead) ApplyDefinitions(model);
}

}  // namespace tablor
