#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tablor {

// The kinds of difference a comparison may be limited to, as bits of CompareOptions::only.
namespace CompareKind {
inline constexpr unsigned Tables = 1u << 0;
inline constexpr unsigned Columns = 1u << 1;
inline constexpr unsigned Views = 1u << 2;
inline constexpr unsigned Procedures = 1u << 3;
inline constexpr unsigned Functions = 1u << 4;
inline constexpr unsigned Constraints = 1u << 5;
inline constexpr unsigned Changes = 1u << 6;
// Compared only with definitions.
inline constexpr unsigned Indexes = 1u << 7;
inline constexpr unsigned Triggers = 1u << 8;
inline constexpr unsigned Sequences = 1u << 9;
inline constexpr unsigned Types = 1u << 10;
inline constexpr unsigned All = (1u << 11) - 1;
}  // namespace CompareKind

// How two schemas are compared. Every option is off by default, and then the comparison gives
// exactly the list it always gave.
struct CompareOptions {
    // A column on both sides of a same-named table whose type (ignoring letter case) or size
    // differs is reported once, as ObjectType::FieldChanged, going from the first side.
    bool columnChanges = false;
    // Names of every kind, and column names, match ignoring letter case (FoldCase).
    bool ignoreCase = false;
    // Constraint names a server made up (PK__Orders__C3905BAF5AAE4BD6) match when they are the
    // same without the trailing "__" and hex digits.
    bool ignoreGeneratedNames = false;
    // Globs (`*` and `?`, ignoring letter case) over the names of tables, views, routines and
    // constraints. With any include, only what an include matches is compared; an excluded
    // element is never compared. An exclude holding a '.' also leaves out each column whose
    // TABLE.COLUMN it matches.
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    // The kinds that may appear in the result (CompareKind bits).
    unsigned only = CompareKind::All;
    // What the catalogues tell beyond names is compared too, where both sides know it: a
    // column's properties (a changed one is ObjectType::FieldChanged, under Changes), each
    // element's definition (ObjectType::Changed of its kind, under its kind), and the
    // indexes, triggers, sequences and types one side lacks.
    bool definitions = false;
    // Properties left out of the comparison of definitions ("comment", "collation"), ignoring
    // letter case.
    std::vector<std::string> ignoreProperties;

    bool Shows(unsigned kinds) const { return (only & kinds) != 0; }
    bool IsDefault() const {
        return !columnChanges && !ignoreCase && !ignoreGeneratedNames && include.empty() && exclude.empty() &&
               only == CompareKind::All && !definitions && ignoreProperties.empty();
    }
    // "column-changes, ignore-case, exclude=tmp_*", or empty when every option is off.
    // Kinds compared only with definitions are named in only= only when definitions are on.
    std::string List() const;
    // The same, opened by "options: ", for a line or a report row of its own.
    std::string Describe() const;
};

// Reads "tables,columns,..." into CompareKind bits. On a bad list, returns nothing and sets
// `error` to a message naming the word and the known kinds.
std::optional<unsigned> ParseCompareKinds(std::string_view text, std::string& error);
// The words ParseCompareKinds knows, in bit order, for messages and Describe.
std::string CompareKindsText(unsigned kinds);

// For a generated constraint name (PK, FK, DF, UQ or CK, "__", the table and columns cut
// short, "__", then 8 to 16 hex digits), the length of the name without the trailing "__" and
// digits; 0 for any other name.
std::size_t GeneratedNameStemLength(std::string_view name);

// A glob with `*` (any run of characters) and `?` (one character), matched ignoring letter case.
// Matching carries the set of pattern positions reached as bits, one step per character of
// the text (a 64-bit word per 64 pattern characters), so no pattern makes it backtrack. A state
// may be kept and fed further, so that a table's name is read once for all of its columns.
// What a glob holds grows with its length only, however many characters it uses.
class Glob {
  public:
    using State = std::vector<std::uint64_t>;

    explicit Glob(std::string_view pattern);

    void Start(State& state) const;
    void Feed(State& state, std::string_view text) const;
    bool Accepts(const State& state) const { return (state[last_ / 64] >> (last_ % 64)) & 1u; }
    bool Dead(const State& state) const;
    bool Matches(std::string_view text) const;
    // True when the pattern matches every text ("*").
    bool MatchesAll() const { return last_ == 1 && star_[0] == 1; }

  private:
    // The positions of one character within one word of the state.
    struct Literal {
        char32_t c;
        std::uint32_t word;
        std::uint64_t bits;
    };
    // The character's literals, by word; none for a character the pattern lacks.
    std::pair<const Literal*, const Literal*> LiteralsOf(char32_t c) const;
    void Step(State& state, char32_t c) const;
    void Close(State& state) const;

    std::size_t words_ = 1;
    std::size_t last_ = 0;                         // bit of the accepting position
    std::vector<Literal> literals_;                // by character, then word
    std::array<std::uint32_t, 129> asciiStart_{};  // where each ASCII character's literals begin
    std::vector<std::uint64_t> any_;               // `?`
    std::vector<std::uint64_t> star_;              // `*`
};

// Texts sorted, each knowing the longest other text that begins it, to find every text that
// begins a given one without trying them all.
class PrefixIndex {
  public:
    void Add(std::string text, std::uint32_t value);
    void Seal();
    // Calls `each` with the value of every text that `name` starts with.
    void ForEachStartOf(std::string_view name, const std::function<void(std::uint32_t)>& each) const;
    // Calls `each` with the value of every text that starts `start` or starts with it.
    void ForEachAlongside(std::string_view start, const std::function<void(std::uint32_t)>& each) const;

  private:
    struct Text {
        std::string text;
        std::uint32_t value;
        std::uint32_t shorter;  // the entry of the longest text that begins this one, or kNone
    };
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};
    std::vector<Text> texts_;
};

// Many globs against one name at a time. Each glob is filed under the literal text it starts
// with, or else ends with, so a name is tried only on the globs whose text it holds there; those
// with neither (`*x*`) are tried on every name.
class GlobSet {
  public:
    explicit GlobSet(const std::vector<std::string>& patterns = {});

    bool Empty() const { return globs_.empty(); }
    bool MatchesAll() const { return matchesAll_; }
    bool Matches(std::string_view text) const;
    // Adds every glob that may match some text starting with `start`, in no order.
    void MayMatchAfter(std::string_view start, std::vector<std::uint32_t>& out) const;
    const Glob& operator[](std::size_t index) const { return globs_[index]; }

  private:
    // So few that looking them up would cost more than trying each.
    static constexpr std::size_t kTriedInTurn = 8;

    std::vector<Glob> globs_;
    PrefixIndex starts_;
    PrefixIndex ends_;                   // texts reversed
    std::vector<std::uint32_t> others_;  // neither
    bool matchesAll_ = false;
};

// Far above any real use, low enough that matching stays quick and small.
inline constexpr std::size_t kMaxPatternLength = 1000;  // characters of one pattern
inline constexpr std::size_t kMaxPatterns = 10000;      // patterns in one list, include or exclude

// Why the patterns of one list (`list` names it: "include", "--exclude") pass a limit, naming the
// limit; empty when they do not.
std::string PatternLimitProblem(const std::vector<std::string>& patterns, std::string_view list);

// One glob matched once.
bool GlobMatches(std::string_view pattern, std::string_view text);

}  // namespace tablor
