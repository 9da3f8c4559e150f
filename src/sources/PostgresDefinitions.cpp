#include <cstddef>
#include <initializer_list>
#include <string>
#include <utility>

#include "sources/DefinitionQueries.hpp"

namespace tablor {
namespace {

// The schemas the name queries read: not the catalogue's own, nor temporary or toast schemas.
constexpr const char* kUserSchema =
    " AND n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg\\_%'";

// What CREATE EXTENSION installed is not the user's, as in the name queries.
std::string NotFromAnExtension(const std::string& catalogue, const std::string& oid) {
    return " AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_depend e WHERE e.classid = 'pg_catalog." +
           catalogue + "'::regclass AND e.objid = " + oid + " AND e.deptype = 'e')";
}

const std::string kRelation =
    " FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace";

// A relation's (column 0) or column's comment, joined: col_description and obj_description look
// each up in a query of their own, which made reading 20,000 columns' comments take 0.5 s.
std::string Comments(const std::string& column) {
    return " LEFT JOIN pg_catalog.pg_description ds ON ds.objoid = c.oid AND ds.classoid = "
           "'pg_catalog.pg_class'::regclass AND ds.objsubid = " +
           column;
}

using Properties = std::initializer_list<std::pair<const char*, std::string>>;

// The most properties one kind has: every part gives as many values.
constexpr std::size_t kValues = 7;

// The PROPERTY and value, value2, ... columns (DefinitionQueries.hpp) over a subquery that gives
// each value under its label: PROPERTY names them up to the last that has a value, so that the
// reader fetches no more. `values` gets the subquery's columns, `any` the list of the labels.
std::string PropertyColumns(Properties properties, std::string& values, std::string& any) {
    std::string names, labels, property;
    std::size_t count = 0;
    for (const auto& [key, value] : properties) {
        const std::string label = count == 0 ? "value" : "value" + std::to_string(count + 1);
        names += (count == 0 ? std::string() : std::string(1, kPropertySeparator)) + key;
        values.append(", (").append(value).append(")::text AS ").append(label);
        labels.append(", ").append(label);
        any.append(count == 0 ? "" : ", ").append(label);
        property.insert(
            0, std::string(" WHEN ").append(label).append(" IS NOT NULL THEN '").append(names).append("'"));
        ++count;
    }
    for (; count < kValues; ++count) labels += ", NULL::text AS value" + std::to_string(count + 1);
    return "CASE" + property + " END AS property" + labels;
}

// One kind of object, a row each with its properties (DefinitionQueries.hpp): a row a property,
// unpivoted here, took the server longer than reading the catalogue. Objects the catalogue tells
// nothing of are left out; OFFSET 0 keeps the server from working each value out again for that.
std::string Part(const std::string& kind, const std::string& name, const std::string& column,
                 const std::string& from, const std::string& where, Properties properties) {
    std::string values, any;
    const std::string columns = PropertyColumns(properties, values, any);
    return "SELECT object_kind, object_schema, object_name, column_name, " + columns + " FROM (SELECT '" +
           kind + "'::text AS object_kind, n.nspname::text AS object_schema, " + name + " AS object_name, " +
           column + " AS column_name" + values + from + " WHERE TRUE" + where + kUserSchema +
           " OFFSET 0) p WHERE COALESCE(" + any + ") IS NOT NULL";
}

const std::string kTableKinds =
    " AND c.relkind IN ('r', 'v', 'f', 'p')" + NotFromAnExtension("pg_class", "c.oid");

}  // namespace

// Every text read is the server's own rendering, which holds neither the database's name nor an
// oid, so two databases built from one script read alike.
std::string PostgresDefinitionsQuery() {
    const std::string parts[] = {
        // A partition names its parent as the name queries would: by name in its own schema.
        Part("table", "c.relname::text", "''", kRelation + Comments("0"), kTableKinds,
             {{"comment", "ds.description"},
              {"partition key", "CASE WHEN c.relkind = 'p' THEN pg_catalog.pg_get_partkeydef(c.oid) END"},
              {"partition of",
               "SELECT CASE WHEN pn.oid = c.relnamespace THEN '' ELSE quote_ident(pn.nspname) || '.' END"
               " || quote_ident(p.relname) || ' ' || pg_catalog.pg_get_expr(c.relpartbound, c.oid)"
               " FROM pg_catalog.pg_inherits i JOIN pg_catalog.pg_class p ON p.oid = i.inhparent"
               " JOIN pg_catalog.pg_namespace pn ON pn.oid = p.relnamespace"
               " WHERE c.relispartition AND i.inhrelid = c.oid"}}),
        Part("view", "c.relname::text", "''", kRelation,
             " AND c.relkind IN ('v', 'm')" + NotFromAnExtension("pg_class", "c.oid"),
             {{"definition", "pg_catalog.pg_get_viewdef(c.oid)"},
              {"materialized", "CASE WHEN c.relkind = 'm' THEN 'YES' ELSE 'NO' END"}}),
        // Named as INFORMATION_SCHEMA.TABLE_CONSTRAINTS names them; a domain's go with its type.
        // Names are unique per table only (a partition repeats its parent's CHECK and FOREIGN KEY
        // under the same name), so the definition alone is told: a repeated one reads alike.
        Part("constraint", "k.conname::text", "''",
             " FROM pg_catalog.pg_constraint k JOIN pg_catalog.pg_class c ON c.oid = k.conrelid JOIN "
             "pg_catalog.pg_namespace n ON n.oid = k.connamespace",
             NotFromAnExtension("pg_class", "c.oid"),
             {{"definition", "pg_catalog.pg_get_constraintdef(k.oid)"},
              // The table of a constraint of its own; a partition's copy of its parent's comes
              // with the parent's.
              {"table", "CASE WHEN k.coninhcount = 0 AND k.conparentid = 0 THEN c.relname::text END"}}),
        // An index that backs a primary key, unique or exclusion constraint is that constraint,
        // which the constraint's own definition tells: listed again, a dropped constraint would be
        // told twice.
        Part("index", "c.relname::text", "''",
             std::string(kRelation) + " JOIN pg_catalog.pg_index x ON x.indexrelid = c.oid"
                                      " JOIN pg_catalog.pg_class tc ON tc.oid = x.indrelid",
             " AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_constraint k"
             " WHERE k.conindid = c.oid AND k.contype IN ('p', 'u', 'x'))"
             // A partition's copy of its parent's index comes and goes with the parent's.
             " AND NOT c.relispartition" +
                 NotFromAnExtension("pg_class", "tc.oid"),
             {{"table", "tc.relname::text"}, {"definition", "pg_catalog.pg_get_indexdef(c.oid)"}}),
        // Trigger names are unique per table only.
        Part("trigger", "c.relname || '.' || g.tgname", "''",
             std::string(kRelation) + " JOIN pg_catalog.pg_trigger g ON g.tgrelid = c.oid",
             // A partition's clone of its parent's trigger comes and goes with the parent's.
             " AND NOT g.tgisinternal AND g.tgparentid = 0" + NotFromAnExtension("pg_class", "c.oid"),
             {{"table", "c.relname::text"}, {"definition", "pg_catalog.pg_get_triggerdef(g.oid)"}}),
        // Routines by INFORMATION_SCHEMA.ROUTINES's SPECIFIC_NAME; aggregates are not among them.
        Part("routine", "f.proname || '_' || f.oid", "''",
             " FROM pg_catalog.pg_proc f JOIN pg_catalog.pg_namespace n ON n.oid = f.pronamespace",
             " AND f.prokind IN ('f', 'p')" + NotFromAnExtension("pg_proc", "f.oid"),
             {{"signature", "pg_catalog.pg_get_function_identity_arguments(f.oid)"},
              {"returns", "pg_catalog.pg_get_function_result(f.oid)"},
              {"definition", "pg_catalog.pg_get_functiondef(f.oid)"}}),
        // An identity column's sequence is the column's: its "identity" tells.
        Part("sequence", "c.relname::text", "''",
             std::string(kRelation) + " JOIN pg_catalog.pg_sequence s ON s.seqrelid = c.oid",
             " AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_depend i WHERE i.classid = "
             "'pg_catalog.pg_class'::regclass "
             "AND i.objid = c.oid AND i.deptype = 'i')" +
                 NotFromAnExtension("pg_class", "c.oid"),
             {{"type", "pg_catalog.format_type(s.seqtypid, NULL)"},
              {"start", "s.seqstart::text"},
              {"increment", "s.seqincrement::text"},
              {"minimum", "s.seqmin::text"},
              {"maximum", "s.seqmax::text"},
              {"cache", "s.seqcache::text"},
              {"cycle", "CASE WHEN s.seqcycle THEN 'YES' ELSE 'NO' END"}}),
        // Enums, domains and composite types; the array type that comes with each is not the user's.
        Part(
            "type", "t.typname::text", "''",
            " FROM pg_catalog.pg_type t JOIN pg_catalog.pg_namespace n ON n.oid = t.typnamespace",
            " AND (t.typtype IN ('e', 'd') OR (t.typtype = 'c'"
            " AND (SELECT r.relkind FROM pg_catalog.pg_class r WHERE r.oid = t.typrelid) = 'c'))" +
                NotFromAnExtension("pg_type", "t.oid"),
            {{"values",
              "SELECT string_agg(quote_literal(l.enumlabel), ', ' ORDER BY l.enumsortorder) FROM "
              "pg_catalog.pg_enum l WHERE l.enumtypid = t.oid"},
             {"base type",
              "CASE WHEN t.typtype = 'd' THEN pg_catalog.format_type(t.typbasetype, t.typtypmod) END"},
             {"nullable",
              "CASE WHEN t.typtype = 'd' THEN CASE WHEN t.typnotnull THEN 'NO' ELSE 'YES' END END"},
             {"default", "t.typdefault"},
             {"constraints",
              "SELECT string_agg(quote_ident(k.conname) || ' ' || pg_catalog.pg_get_constraintdef(k.oid), "
              "E'\\n' ORDER BY k.conname) FROM pg_catalog.pg_constraint k WHERE k.contypid = t.oid"},
             {"attributes",
              "SELECT string_agg(quote_ident(a.attname) || ' ' || pg_catalog.format_type(a.atttypid, "
              "a.atttypmod), ', ' ORDER BY a.attnum) FROM pg_catalog.pg_attribute a"
              " WHERE a.attrelid = t.typrelid AND t.typrelid <> 0 AND a.attnum > 0 AND NOT a.attisdropped"}}),
    };
    std::string query;
    for (const std::string& part : parts) query += (query.empty() ? "" : " UNION ALL ") + part;
    return query;
}

// The name query's columns (SchemaQueries::columns) with each column's properties, from the
// catalogue itself: INFORMATION_SCHEMA.COLUMNS took the server longer than every definition
// together, in a function call a column for the length alone. The names, types and lengths are
// worked out as that view does, for the columns it lists (those the login holds a privilege on).
// A column's collation counts only where it is not the one its type gives it anyway, so COLLATE
// "default" spelled out reads as left out.
std::string PostgresColumnsWithDefinitionsQuery() {
    std::string values, any;
    const std::string properties = PropertyColumns(
        {{"type", "pg_catalog.format_type(a.atttypid, a.atttypmod)"},
         {"nullable", "CASE WHEN a.attnotnull THEN 'NO' ELSE 'YES' END"},
         {"default", "CASE WHEN a.attgenerated = '' THEN pg_catalog.pg_get_expr(d.adbin, d.adrelid) END"},
         {"identity", "CASE a.attidentity WHEN 'a' THEN 'ALWAYS' WHEN 'd' THEN 'BY DEFAULT' END"},
         {"generated",
          "CASE WHEN a.attgenerated = 's' THEN pg_catalog.pg_get_expr(d.adbin, d.adrelid) || ' STORED' END"},
         {"collation",
          "CASE WHEN cn.nspname = 'pg_catalog' THEN quote_ident(co.collname) ELSE "
          "quote_ident(cn.nspname) || '.' || quote_ident(co.collname) END"},
         {"comment", "ds.description"}},
        values, any);
    // A domain's column tells its base type; a type of the user's (or an extension's) is named by
    // its own name, not "USER-DEFINED". Lengths: char and varchar less the header, bit and varbit.
    const std::string trueType = "CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE a.atttypid END";
    const std::string trueModifier = "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END";
    return "SELECT table_schema, table_name, column_name, character_maximum_length, data_type, "
           "ordinal_position, " +
           properties +
           " FROM (SELECT a.attnum AS ordinal_position, n.nspname::text AS table_schema,"
           " c.relname::text AS table_name, a.attname::text AS column_name, CASE WHEN " +
           trueModifier + " = -1 THEN NULL WHEN " + trueType + " IN (1042, 1043) THEN " + trueModifier +
           " - 4 WHEN " + trueType + " IN (1560, 1562) THEN " + trueModifier +
           " END AS character_maximum_length,"
           " CASE WHEN t.typtype = 'd' THEN CASE WHEN bt.typelem <> 0 AND bt.typlen = -1 THEN 'ARRAY'"
           " WHEN nbt.nspname = 'pg_catalog' THEN pg_catalog.format_type(t.typbasetype, NULL)"
           " ELSE bt.typname::text END"
           " ELSE CASE WHEN t.typelem <> 0 AND t.typlen = -1 THEN 'ARRAY'"
           " WHEN nt.nspname = 'pg_catalog' THEN pg_catalog.format_type(a.atttypid, NULL)"
           " ELSE t.typname::text END END AS data_type" +
           values + kRelation +
           " JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
           " JOIN pg_catalog.pg_type t ON t.oid = a.atttypid"
           " JOIN pg_catalog.pg_namespace nt ON nt.oid = t.typnamespace"
           " LEFT JOIN (pg_catalog.pg_type bt JOIN pg_catalog.pg_namespace nbt ON nbt.oid = bt.typnamespace)"
           " ON t.typtype = 'd' AND bt.oid = t.typbasetype"
           " LEFT JOIN pg_catalog.pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum"
           " LEFT JOIN pg_catalog.pg_collation co ON co.oid = a.attcollation AND a.attcollation <> "
           "t.typcollation"
           " LEFT JOIN pg_catalog.pg_namespace cn ON cn.oid = co.collnamespace" +
           Comments("a.attnum") + " WHERE NOT pg_catalog.pg_is_other_temp_schema(n.oid)" + kTableKinds +
           kUserSchema +
           " AND (pg_catalog.pg_has_role(c.relowner, 'USAGE') OR pg_catalog.has_column_privilege(c.oid,"
           " a.attnum, 'SELECT, INSERT, UPDATE, REFERENCES')) OFFSET 0) p";
}

}  // namespace tablor
