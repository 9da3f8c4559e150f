#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "sources/DatabaseError.hpp"
#include "sources/DatabaseSession.hpp"
#include "sources/SchemaExtraction.hpp"

namespace tablor::wire {

// What the program and its reader process say to each other over their socket. Every message
// is a frame: one kind byte, a 32-bit little-endian payload length, then the payload's fields,
// each a 32-bit length and its bytes. Lengths, not separators, so that any name or message
// travels as it is.
enum class Frame : char {
    Request = 'S',   // program -> reader: what to read, password included
    Opened = 'O',    // the session is open: the login is over
    Query = 'Q',     // a catalogue query starts: section
    Progress = 'P',  // rows read so far: section, count
    AllRead = 'A',   // every query has ended; the rows follow
    Table = 'T',     // schema, name, model name
    Schemas =
        'N',  // "1" each: the rows' schemas are the database's own, definitions were read, names qualified
    Constraint = 'K',  // schema, model name
    View = 'V',        // schema, model name
    Routine = 'R',     // schema, model name, "F" or "P", specific name
    Columns = 'G',     // the table (TableKey) the next Column frames belong to
    Column = 'C',      // name, type, size[, "D", property, value, ...]: with its definition
    Property = 'Y',    // kind, schema, name, column, property, value: one property of a definition
    Error = 'E',       // stage ("open" or "read"), number, description, SQLSTATE, native code
    Done = 'D',        // the reader ends
};

// A frame larger than this is a reader gone wrong, not a schema.
inline constexpr std::size_t kMaxFrameBytes = 64u << 20;

// Appends one frame holding `fields`.
void AppendFrame(std::string& out, Frame kind, std::initializer_list<std::string_view> fields);

// Takes the first whole frame off the front of `buffer`: false when it holds none yet. A frame
// longer than kMaxFrameBytes is a DatabaseError.
bool TakeFrame(std::string_view& buffer, Frame& kind, std::string_view& payload);

// Reads a payload's fields in order; a missing field is a DatabaseError.
class FieldReader {
  public:
    explicit FieldReader(std::string_view payload) : rest_(payload) {}
    std::string_view Next();
    std::string Text() { return std::string(Next()); }
    long Number();
    bool AtEnd() const noexcept { return rest_.empty(); }
    // What the fields not read yet take, as sent.
    std::string_view Rest() const noexcept { return rest_; }

  private:
    std::string_view rest_;
};

// What the reader is asked to read: the settings, and the ODBC driver to use where the program
// names one (empty: the reader's own choice).
struct ReadRequest {
    ConnectionSettings settings;
    std::string driver;
};

void AppendRequest(std::string& out, const ConnectionSettings& settings, std::string_view driver);
ReadRequest ParseRequest(std::string_view payload);

// Where a failure happened: before the session was open, or while reading.
enum class Stage { Open, Read };

void AppendError(std::string& out, Stage stage, const TablorError& error);
// The failure a reader reported, as it was raised there: a DatabaseError when it came from the
// data-access layer, else a TablorError with its number.
struct ReportedError {
    Stage stage = Stage::Read;
    long number = 0;
    std::string description;
    std::string sqlState;
    long nativeCode = 0;
};
ReportedError ParseError(std::string_view payload);

// The rows of a read, as Schemas, Table, Constraint, View, Routine, Columns, Column and Property
// frames.
void AppendRows(std::string& out, const SchemaRows& rows);

// Gathers the rows of those frames again.
class RowsCollector {
  public:
    // False for a frame that holds no rows.
    bool Take(Frame kind, std::string_view payload);
    SchemaRows& Rows() noexcept { return rows_; }

  private:
    // The definition whose property and value fields are `fields`: alike ones, as most columns'
    // are, share one list.
    ColumnDefinition::Shared SharedDefinition(std::string_view fields);

    SchemaRows rows_;
    std::vector<cField>* columns_ = nullptr;
    std::unordered_map<std::string, ColumnDefinition::Shared> definitions_;
    std::string key_;  // kept, so that looking a definition up allocates nothing
};

}  // namespace tablor::wire
