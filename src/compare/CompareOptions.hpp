#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
inline constexpr unsigned All = (1u << 7) - 1;
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

    bool Shows(unsigned kinds) const { return (only & kinds) != 0; }
    bool IsDefault() const {
        return !columnChanges && !ignoreCase && !ignoreGeneratedNames && include.empty() && exclude.empty() &&
               only == CompareKind::All;
    }
    // "column-changes, ignore-case, exclude=tmp_*", or empty when every option is off.
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
    void Step(State& state, char32_t c) const;
    void Close(State& state) const;
    const std::uint64_t* MaskOf(char32_t c) const;

    std::size_t words_ = 1;
    std::size_t last_ = 0;              // bit of the accepting position
    std::vector<std::uint64_t> ascii_;  // 128 masks of words_ each
    std::vector<std::uint64_t> any_;    // `?`
    std::vector<std::uint64_t> star_;   // `*`
    std::vector<char32_t> otherChars_;  // characters past ASCII, with their masks in otherMasks_
    std::vector<std::uint64_t> otherMasks_;
    std::vector<std::uint64_t> none_;
};

// One glob matched once.
bool GlobMatches(std::string_view pattern, std::string_view text);

}  // namespace tablor
