#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/cMetaData.hpp"

namespace tablor {

// What a snapshot holds of its elements beyond their names: the schema each lives in and its
// definition's properties. They go where older loaders never look, one line each between the
// routines line and the first table line:
//   ~KIND*POSITION*schema=VALUE*KEY=VALUE...
// KIND is K (constraint), V (view), R (routine) or T (table), POSITION the element's place in
// its line or in the table section, from 1. Indexes (I), triggers (G), sequences (S) and types
// (Y) stand on no other line: theirs names each with name=VALUE after the schema. A column's
// properties follow its three parts on its own field line, where older loaders stop reading:
//   NAME*TYPE*SIZE*KEY=VALUE...
// Values are percent-encoded ("%", "*", "=", control characters), so no value can break the
// file's structure. A definition that is known but holds nothing is one empty part. An element
// whose side knew nothing more than its name has no line, so a file of such a side is what it
// always was. The engine, where known, stands first: ~E*1*engine=postgresql.
class SnapshotDefinitions {
  public:
    // The lines of every element that has a schema or a definition, each ending in CR LF.
    static void Append(std::string& out, const cMetaData& model);

    // A column's properties for its field line, each opened by "*"; nothing for a column whose
    // side knew no more than its name, type and size.
    static void AppendColumn(std::string& out, const cField& field);
    // The properties after a field line's third part (`rest`, past its "*"), for `line`; none
    // where they are not properties (parts of an older writer's). Columns of one text share
    // one definition: most columns of a schema repeat a few, and comparing reads fewer places.
    std::shared_ptr<const Properties> ColumnDefinition(std::string_view line, std::string_view rest);

    // Takes a line of the table section read before the first table line; false when it is
    // not a definition line. A definition line that cannot be read is a TablorError.
    bool Take(std::string_view line);

    // Gives the model's elements what the lines said. Positions past a section's end are left
    // out: the file was cut short or edited.
    void ApplyTo(cMetaData& model) const;

    static std::string Encoded(std::string_view value);
    static std::string Decoded(std::string_view value);

  private:
    struct Line {
        char kind = 0;
        std::uint32_t position = 0;
        std::string schema;
        std::string name;      // indexes, triggers, sequences and types
        bool defined = false;  // the line tells a definition, if an empty one
        Properties properties;
    };
    std::vector<Line> lines_;
    std::string engine_;
    // Looked up by the line's text without copying it.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, std::shared_ptr<const Properties>, TextHash, std::equal_to<>> columns_;
};

}  // namespace tablor
