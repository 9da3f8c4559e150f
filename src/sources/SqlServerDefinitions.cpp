#include <string>

#include "sources/DefinitionQueries.hpp"

namespace tablor {
namespace {

// A column's or parameter's type as a script spells it: a length in characters (nvarchar holds
// two bytes each), max for -1, precision and scale where they belong; an alias type by its name.
// `of` is the alias of the row holding max_length, precision and scale, `type` that of its
// sys.types row.
std::string TypeText(const std::string& of, const std::string& type) {
    return "CASE WHEN " + type + ".is_user_defined = 1 THEN " + type + ".name WHEN " + type +
           ".name IN ('varchar', 'char', 'varbinary', 'binary') THEN " + type + ".name + '(' + CASE " + of +
           ".max_length WHEN -1 THEN 'max' ELSE CAST(" + of + ".max_length AS nvarchar(10)) END + ')' WHEN " +
           type + ".name IN ('nvarchar', 'nchar') THEN " + type + ".name + '(' + CASE " + of +
           ".max_length WHEN -1 THEN 'max' ELSE CAST(" + of +
           ".max_length / 2 AS nvarchar(10)) END + ')' WHEN " + type +
           ".name IN ('decimal', 'numeric') THEN " + type + ".name + '(' + CAST(" + of +
           ".precision AS nvarchar(10)) + ',' + CAST(" + of + ".scale AS nvarchar(10)) + ')' WHEN " + type +
           ".name IN ('datetime2', 'time', 'datetimeoffset') THEN " + type + ".name + '(' + CAST(" + of +
           ".scale AS nvarchar(10)) + ')' ELSE " + type + ".name END";
}

// The items that `from` (FROM and WHERE) finds, in `order`, as one text "a, b, c", or NULL for
// none. FOR XML PATH rather than STRING_AGG, which servers before 2017 lack; TYPE and value()
// give back <, > and & as they are.
std::string Listed(const std::string& item, const std::string& from, const std::string& order) {
    return "STUFF((SELECT N', ' + " + item + " FROM " + from + " ORDER BY " + order +
           " FOR XML PATH(''), TYPE).value('.', 'nvarchar(max)'), 1, 2, N'')";
}

// The columns of an index, in key order with their direction (included ones: in the order
// given).
std::string IndexColumns(const std::string& object, const std::string& index, bool included) {
    const std::string from =
        "sys.index_columns ic WHERE ic.object_id = " + object + " AND ic.index_id = " + index;
    if (included)
        return Listed("COL_NAME(ic.object_id, ic.column_id)", from + " AND ic.is_included_column = 1",
                      "ic.index_column_id");
    return Listed(
        "COL_NAME(ic.object_id, ic.column_id) + CASE ic.is_descending_key WHEN 1 THEN N' DESC' ELSE "
        "N' ASC' END",
        from + " AND ic.key_ordinal > 0", "ic.key_ordinal");
}

// One part of the query: a row per property of each object `from` and `where` find, as
// OBJECT_KIND, OBJECT_SCHEMA, OBJECT_NAME, COLUMN_NAME, PROPERTY, VALUE. `values` lists
// (PROPERTY, VALUE) pairs, each VALUE an nvarchar(max) so that the parts unite.
struct Part {
    std::string kind;
    std::string name;
    std::string from;
    std::string values;
    std::string where = {};
    std::string column = "CAST(NULL AS sysname)";
    std::string schema = "s.name";

    std::string Text() const {
        return "SELECT " + kind + " AS OBJECT_KIND, " + schema + " AS OBJECT_SCHEMA, " + name +
               " AS OBJECT_NAME, " + column + " AS COLUMN_NAME, p.PROPERTY, p.VALUE FROM " + from +
               " CROSS APPLY (VALUES " + values + ") p(PROPERTY, VALUE)" +
               (where.empty() ? "" : " WHERE " + where);
    }
};

// What the server itself ships (is_ms_shipped) is no one's schema.
const std::string kUserObject = "o.is_ms_shipped = 0";

// The description a column (minor: its column_id) or an object (0) was given.
std::string Comment(const std::string& minor) {
    return "CAST((SELECT ep.value FROM sys.extended_properties ep WHERE ep.class = 1 AND ep.major_id = "
           "o.object_id AND ep.minor_id = " +
           minor + " AND ep.name = N'MS_Description') AS nvarchar(max))";
}

Part Columns() {
    return {
        .kind = "N'column'",
        .name = "o.name",
        .from =
            "sys.columns c JOIN sys.objects o ON o.object_id = c.object_id JOIN sys.schemas s ON s.schema_id "
            "= o.schema_id JOIN sys.types t ON t.user_type_id = c.user_type_id LEFT JOIN "
            "sys.default_constraints dc ON dc.object_id = c.default_object_id LEFT JOIN sys.computed_columns "
            "cc ON cc.object_id = c.object_id AND cc.column_id = c.column_id LEFT JOIN sys.identity_columns "
            "ic ON ic.object_id = c.object_id AND ic.column_id = c.column_id",
        .values =
            "(N'type', CAST(" + TypeText("c", "t") +
            " AS nvarchar(max))), (N'nullable', CASE c.is_nullable WHEN 1 THEN N'YES' ELSE N'NO' END), "
            "(N'default', dc.definition), (N'identity', CAST(ic.seed_value AS nvarchar(40)) + N', ' + "
            "CAST(ic.increment_value AS nvarchar(40))), (N'generated', cc.definition + CASE "
            "cc.is_persisted WHEN 1 THEN N' PERSISTED' ELSE N'' END), "
            // Told only where it is not the database's own, so that two databases of one
            // collation agree.
            "(N'collation', CASE WHEN c.collation_name <> CAST(DATABASEPROPERTYEX(DB_NAME(), "
            "'Collation') AS sysname) THEN CAST(c.collation_name AS nvarchar(max)) END), (N'comment', " +
            Comment("c.column_id") + ")",
        .where = "o.type IN ('U', 'V') AND " + kUserObject,
        .column = "c.name",
    };
}

// Tables and views: their comment; a view's text too.
Part Relations() {
    return {
        .kind = "CASE o.type WHEN 'V' THEN N'view' ELSE N'table' END",
        .name = "o.name",
        .from = "sys.objects o JOIN sys.schemas s ON s.schema_id = o.schema_id",
        .values = "(N'comment', " + Comment("0") +
                  "), (N'definition', CASE o.type WHEN 'V' THEN OBJECT_DEFINITION(o.object_id) END)",
        .where = "o.type IN ('U', 'V') AND " + kUserObject,
    };
}

// The columns of a foreign key on its own table (`side` parent) or the one it refers to
// (referenced), in the key's order.
std::string ForeignKeyColumns(const std::string& side) {
    return Listed("COL_NAME(fc." + side + "_object_id, fc." + side + "_column_id)",
                  "sys.foreign_key_columns fc WHERE fc.constraint_object_id = o.object_id",
                  "fc.constraint_column_id");
}

// The *_desc columns have a collation of their own, which joined to names of the database's
// collation would fail.
std::string Words(const std::string& desc) {
    return "REPLACE(" + desc + " COLLATE DATABASE_DEFAULT, '_', ' ')";
}

// Texts free of the constraint's own name, which the server may have made up; the table it
// belongs to.
Part Constraints() {
    const std::string keyColumns = IndexColumns("kc.parent_object_id", "kc.unique_index_id", false);
    return {
        .kind = "N'constraint'",
        .name = "o.name",
        .from =
            "sys.objects o JOIN sys.schemas s ON s.schema_id = o.schema_id LEFT JOIN sys.key_constraints kc "
            "ON kc.object_id = o.object_id LEFT JOIN sys.foreign_keys fk ON fk.object_id = o.object_id "
            "LEFT JOIN sys.objects r ON r.object_id = fk.referenced_object_id LEFT JOIN "
            "sys.check_constraints ck ON ck.object_id = o.object_id",
        .values =
            "(N'definition', CASE o.type WHEN 'PK' THEN N'PRIMARY KEY (' + " + keyColumns +
            " + N')' WHEN 'UQ' THEN N'UNIQUE (' + " + keyColumns +
            " + N')' WHEN 'F' THEN N'FOREIGN KEY (' + " + ForeignKeyColumns("parent") +
            " + N') REFERENCES ' + CASE WHEN r.schema_id <> o.schema_id THEN SCHEMA_NAME(r.schema_id) + "
            "N'.' ELSE N'' END + r.name + N' (' + " +
            ForeignKeyColumns("referenced") + " + N') ON DELETE ' + " +
            Words("fk.delete_referential_action_desc") + " + N' ON UPDATE ' + " +
            Words("fk.update_referential_action_desc") +
            " ELSE N'CHECK ' + ck.definition END), (N'table', CAST(OBJECT_NAME(o.parent_object_id) AS "
            "nvarchar(max)))",
        .where = "o.type IN ('PK', 'UQ', 'F', 'C') AND " + kUserObject,
    };
}

// Indexes that no constraint owns (those are told as constraints), named TABLE.NAME.
Part Indexes() {
    return {
        .kind = "N'index'",
        .name = "o.name + N'.' + i.name",
        .from =
            "sys.indexes i JOIN sys.objects o ON o.object_id = i.object_id JOIN sys.schemas s ON s.schema_id "
            "= o.schema_id",
        .values =
            "(N'table', CAST(o.name AS nvarchar(max))), (N'definition', CASE i.is_unique WHEN 1 THEN "
            "N'UNIQUE ' ELSE N'' END + " +
            Words("i.type_desc") + " + ISNULL(N' (' + " + IndexColumns("i.object_id", "i.index_id", false) +
            " + N')', N'') + ISNULL(N' INCLUDE (' + " + IndexColumns("i.object_id", "i.index_id", true) +
            " + N')', N'') + CASE i.has_filter WHEN 1 THEN N' WHERE ' + i.filter_definition ELSE N'' END)",
        .where = "o.type IN ('U', 'V') AND " + kUserObject +
                 " AND i.type > 0 AND i.is_primary_key = 0 AND i.is_unique_constraint = 0 AND "
                 "i.is_hypothetical = 0",
    };
}

// Procedures and functions, by name (SQL Server's SPECIFIC_NAME): parameter types in order,
// what a function returns (a table function: TABLE).
Part Routines() {
    const std::string type = TypeText("pa", "pt");
    const std::string parameters =
        "sys.parameters pa JOIN sys.types pt ON pt.user_type_id = pa.user_type_id "
        "WHERE pa.object_id = o.object_id AND pa.parameter_id ";
    return {
        .kind = "N'routine'",
        .name = "o.name",
        .from = "sys.objects o JOIN sys.schemas s ON s.schema_id = o.schema_id",
        .values = "(N'definition', OBJECT_DEFINITION(o.object_id)), (N'signature', " +
                  Listed(type + " + CASE pa.is_output WHEN 1 THEN N' OUTPUT' ELSE N'' END",
                         parameters + "> 0", "pa.parameter_id") +
                  "), (N'returns', CASE WHEN o.type IN ('IF', 'TF', 'FT') THEN N'TABLE' ELSE (SELECT CAST(" +
                  type + " AS nvarchar(max)) FROM " + parameters + "= 0) END), (N'comment', " + Comment("0") +
                  ")",
        .where = "o.type IN ('P', 'PC', 'FN', 'IF', 'TF', 'FS', 'FT') AND " + kUserObject,
    };
}

// Triggers on tables and views, named TABLE.NAME; the database's own triggers have no table.
Part Triggers() {
    return {
        .kind = "N'trigger'",
        .name = "o.name + N'.' + tr.name",
        .from =
            "sys.triggers tr JOIN sys.objects o ON o.object_id = tr.parent_id JOIN sys.schemas s ON "
            "s.schema_id = o.schema_id",
        .values =
            "(N'table', CAST(o.name AS nvarchar(max))), (N'definition', OBJECT_DEFINITION(tr.object_id)), "
            "(N'events', " +
            Listed("te.type_desc COLLATE DATABASE_DEFAULT",
                   "sys.trigger_events te WHERE te.object_id = tr.object_id", "te.type") +
            "), (N'timing', CASE tr.is_instead_of_trigger WHEN 1 THEN N'INSTEAD OF' ELSE N'AFTER' END)",
        .where = "tr.parent_class = 1 AND tr.is_ms_shipped = 0",
    };
}

Part Sequences() {
    return {
        .kind = "N'sequence'",
        .name = "q.name",
        .from =
            "sys.sequences q JOIN sys.schemas s ON s.schema_id = q.schema_id JOIN sys.types t ON "
            "t.user_type_id = q.user_type_id",
        .values =
            "(N'definition', N'AS ' + t.name + N' START WITH ' + CAST(q.start_value AS nvarchar(40)) + "
            "N' INCREMENT BY ' + CAST(q.increment AS nvarchar(40)) + N' MINVALUE ' + "
            "CAST(q.minimum_value AS nvarchar(40)) + N' MAXVALUE ' + CAST(q.maximum_value AS "
            "nvarchar(40)) + CASE q.is_cycling WHEN 1 THEN N' CYCLE' ELSE N' NO CYCLE' END + CASE WHEN "
            "q.is_cached = 0 THEN N' NO CACHE' WHEN q.cache_size IS NOT NULL THEN N' CACHE ' + "
            "CAST(q.cache_size AS nvarchar(40)) ELSE N'' END)",
    };
}

// Alias types (CREATE TYPE ... FROM): the type they stand for and whether they take NULL.
// Table types are left out.
Part AliasTypes() {
    return {
        .kind = "N'type'",
        .name = "t.name",
        .from =
            "sys.types t JOIN sys.schemas s ON s.schema_id = t.schema_id JOIN sys.types b ON b.user_type_id "
            "= t.system_type_id",
        .values = "(N'type', CAST(" + TypeText("t", "b") +
                  " AS nvarchar(max))), (N'nullable', CASE t.is_nullable WHEN 1 THEN N'YES' ELSE N'NO' END)",
        .where = "t.is_user_defined = 1 AND t.is_table_type = 0",
    };
}

}  // namespace

// A login without VIEW DEFINITION sees the objects but not their texts (OBJECT_DEFINITION gives
// NULL, for a check or default too), and every body would compare as if empty: the batch stops
// instead, naming the first such object. Encrypted modules are unreadable to everyone and simply
// have no text. With NOCOUNT the statements before the SELECT send no counts, so the rows are the
// first result. Sequences need SQL Server 2012.
std::string SqlServerDefinitionsQuery() {
    std::string parts;
    for (const Part& part : {Columns(), Relations(), Constraints(), Indexes(), Routines(), Triggers(),
                             Sequences(), AliasTypes()})
        parts += (parts.empty() ? "" : " UNION ALL ") + part.Text();
    return "SET NOCOUNT ON; DECLARE @hidden nvarchar(300) = (SELECT TOP (1) SCHEMA_NAME(o.schema_id) "
           "+ N'.' + o.name FROM sys.objects o WHERE o.type IN ('V', 'P', 'FN', 'IF', 'TF', 'TR', 'C', "
           "'D') AND " +
           kUserObject +
           " AND OBJECT_DEFINITION(o.object_id) IS NULL AND ISNULL(OBJECTPROPERTY(o.object_id, "
           "'IsEncrypted'), 0) = 0 ORDER BY o.object_id); IF @hidden IS NOT NULL RAISERROR(N'This "
           "login may not read the definition of %s, and perhaps of other views, routines, triggers "
           "and constraints: VIEW DEFINITION is not granted to it. Grant it VIEW DEFINITION, or read "
           "as a login that has it.', 16, 1, @hidden) ELSE SELECT * FROM (" +
           parts + ") d WHERE d.VALUE IS NOT NULL";
}

}  // namespace tablor
