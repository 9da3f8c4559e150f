#include "compare/CompareOptions.hpp"

#include <algorithm>
#include <array>

#include "support/TextCase.hpp"
#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

constexpr std::array<std::string_view, 11> kKindWords = {"tables",    "columns",     "views",   "procedures",
                                                         "functions", "constraints", "changes", "indexes",
                                                         "triggers",  "sequences",   "types"};
constexpr unsigned kNameKinds = (1u << 7) - 1;

// Calls `each` with every code point of folded text; a byte that begins no UTF-8 sequence
// stands for itself, apart from every real character.
template <class Each>
void ForEachCodePoint(std::string_view text, Each&& each) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80 ? 1 : Utf8SequenceLength(text, i);
        if (length <= 1) {
            each(byte < 0x80 ? char32_t{byte} : char32_t{0xDC00u + byte});
            ++i;
            continue;
        }
        char32_t c = byte & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        each(c);
        i += length;
    }
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
}

bool IsHex(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

void AppendList(std::string& out, const char* label, const std::vector<std::string>& patterns) {
    if (patterns.empty()) return;
    out.append(out.empty() ? "" : ", ").append(label).append("=");
    for (std::size_t i = 0; i < patterns.size(); ++i) out.append(i == 0 ? "" : ",").append(patterns[i]);
}

}  // namespace

std::string CompareOptions::List() const {
    std::string out;
    const auto flag = [&out](bool on, const char* word) {
        if (on) out.append(out.empty() ? "" : ", ").append(word);
    };
    flag(columnChanges, "column-changes");
    flag(ignoreCase, "ignore-case");
    flag(ignoreGeneratedNames, "ignore-generated-names");
    flag(definitions, "definitions");
    AppendList(out, "ignore", ignoreProperties);
    AppendList(out, "include", include);
    AppendList(out, "exclude", exclude);
    // Without definitions the kinds read only with them never show, chosen or not.
    const unsigned shown = definitions ? CompareKind::All : kNameKinds;
    if ((only & shown) != shown)
        out.append(out.empty() ? "" : ", ").append("only=").append(CompareKindsText(only & shown));
    return out;
}

std::string CompareOptions::Describe() const {
    const std::string list = List();
    return list.empty() ? list : "options: " + list;
}

std::string CompareKindsText(unsigned kinds) {
    std::string out;
    for (std::size_t bit = 0; bit < kKindWords.size(); ++bit) {
        if ((kinds & (1u << bit)) == 0) continue;
        out.append(out.empty() ? "" : ",").append(kKindWords[bit]);
    }
    return out;
}

std::optional<unsigned> ParseCompareKinds(std::string_view text, std::string& error) {
    unsigned kinds = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::string_view word = text.substr(start, comma - start);
        while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
        while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
        const std::string folded = FoldCase(word);
        const auto known = std::find(kKindWords.begin(), kKindWords.end(), folded);
        if (known == kKindWords.end()) {
            std::string list;
            for (const auto& each : kKindWords) list.append(list.empty() ? "" : ", ").append(each);
            error = "Unknown kind \"" + std::string(word) + "\"; the kinds are " + list;
            return std::nullopt;
        }
        kinds |= 1u << static_cast<unsigned>(known - kKindWords.begin());
        if (comma == text.size()) return kinds;
        start = comma + 1;
    }
}

std::size_t GeneratedNameStemLength(std::string_view name) {
    static constexpr std::array<std::string_view, 5> kPrefixes = {"PK__", "FK__", "DF__", "UQ__", "CK__"};
    if (name.size() < 4) return 0;
    const std::string prefix = AsciiUpper(name.substr(0, 4));
    if (std::find(kPrefixes.begin(), kPrefixes.end(), prefix) == kPrefixes.end()) return 0;
    std::size_t digits = 0;
    while (digits < name.size() && IsHex(name[name.size() - 1 - digits])) ++digits;
    if (digits < 8 || digits > 16 || name.size() < digits + 2 + 4) return 0;
    const std::size_t stem = name.size() - digits - 2;
    if (name.substr(stem, 2) != "__" || stem < 4) return 0;
    return stem;
}

Glob::Glob(std::string_view pattern) {
    std::vector<char32_t> chars;
    ForEachCodePoint(FoldCase(pattern), [&chars](char32_t c) {
        if (c != U'*' || chars.empty() || chars.back() != U'*') chars.push_back(c);  // "**" is "*"
    });
    last_ = chars.size();
    words_ = last_ / 64 + 1;
    any_.assign(words_, 0);
    star_.assign(words_, 0);
    std::vector<std::pair<char32_t, std::uint32_t>> positions;  // of each literal character
    for (std::size_t j = 0; j < chars.size(); ++j) {
        if (chars[j] == U'*')
            star_[j / 64] |= std::uint64_t{1} << (j % 64);
        else if (chars[j] == U'?')
            any_[j / 64] |= std::uint64_t{1} << (j % 64);
        else
            positions.emplace_back(chars[j], static_cast<std::uint32_t>(j));
    }
    std::sort(positions.begin(), positions.end());
    for (const auto& [c, j] : positions) {
        const std::uint32_t word = j / 64;
        if (literals_.empty() || literals_.back().c != c || literals_.back().word != word)
            literals_.push_back({c, word, 0});
        literals_.back().bits |= std::uint64_t{1} << (j % 64);
    }
    std::uint32_t at = 0;
    for (char32_t c = 0; c <= 128; ++c) {
        while (at < literals_.size() && literals_[at].c < c) ++at;
        asciiStart_[c] = at;
    }
}

std::pair<const Glob::Literal*, const Glob::Literal*> Glob::LiteralsOf(char32_t c) const {
    if (literals_.empty()) return {nullptr, nullptr};
    const Literal* base = literals_.data();
    if (c < 128) return {base + asciiStart_[c], base + asciiStart_[c + 1]};
    const Literal* from =
        std::lower_bound(base + asciiStart_[128], base + literals_.size(), c,
                         [](const Literal& literal, char32_t key) { return literal.c < key; });
    const Literal* to = from;
    while (to != base + literals_.size() && to->c == c) ++to;
    return {from, to};
}

// A `*` lets its position be passed without reading anything; "**" is never left in a
// pattern, so one step closes the set.
void Glob::Close(State& state) const {
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w < words_; ++w) {
        const std::uint64_t starred = state[w] & star_[w];
        state[w] |= (starred << 1) | carry;
        carry = starred >> 63;
    }
}

void Glob::Step(State& state, char32_t c) const {
    auto [literal, end] = LiteralsOf(c);
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w < words_; ++w) {
        std::uint64_t mask = any_[w];
        if (literal != end && literal->word == w) mask |= (literal++)->bits;
        const std::uint64_t moving = state[w] & mask;
        const std::uint64_t next = (moving << 1) | carry | (state[w] & star_[w]);
        carry = moving >> 63;
        state[w] = next;
    }
    Close(state);
}

void Glob::Start(State& state) const {
    state.assign(words_, 0);
    state[0] = 1;
    Close(state);
}

void Glob::Feed(State& state, std::string_view text) const {
    if (IsAscii(text)) {
        for (const char ch : text)
            Step(state, static_cast<char32_t>(ch >= 'A' && ch <= 'Z' ? ch + 0x20 : ch));
        return;
    }
    ForEachCodePoint(FoldCase(text), [&](char32_t c) { Step(state, c); });
}

bool Glob::Dead(const State& state) const {
    return std::all_of(state.begin(), state.end(), [](std::uint64_t w) { return w == 0; });
}

bool Glob::Matches(std::string_view text) const {
    // Most patterns fit one word: matched without a state to allocate.
    if (words_ == 1 && IsAscii(text)) {
        const std::uint64_t star = star_[0];
        std::uint64_t state = 1 | ((1 & star) << 1);
        for (const char ch : text) {
            const auto c = static_cast<unsigned char>(ch >= 'A' && ch <= 'Z' ? ch + 0x20 : ch);
            // One word holds at most one literal of a character.
            const std::uint32_t at = asciiStart_[c];
            const std::uint64_t mask = at != asciiStart_[c + 1] ? literals_[at].bits : 0;
            state = ((state & (mask | any_[0])) << 1) | (state & star);
            state |= (state & star) << 1;
            if (state == 0) return false;
        }
        return ((state >> last_) & 1u) != 0;
    }
    State state;
    Start(state);
    Feed(state, text);
    return Accepts(state);
}

void PrefixIndex::Add(std::string text, std::uint32_t value) {
    texts_.push_back({std::move(text), value, kNone});
}

void PrefixIndex::Seal() {
    std::sort(texts_.begin(), texts_.end(), [](const Text& a, const Text& b) { return a.text < b.text; });
    // In sorted order a text's shorter starts come before it, on the chain of the text before.
    std::vector<std::uint32_t> chain;
    for (std::uint32_t i = 0; i < texts_.size(); ++i) {
        while (!chain.empty() && !std::string_view(texts_[i].text).starts_with(texts_[chain.back()].text))
            chain.pop_back();
        texts_[i].shorter = chain.empty() ? kNone : chain.back();
        chain.push_back(i);
    }
}

void PrefixIndex::ForEachStartOf(std::string_view name,
                                 const std::function<void(std::uint32_t)>& each) const {
    // Every text that starts the name lies on the chain of the last text not after it.
    auto after = std::upper_bound(texts_.begin(), texts_.end(), name,
                                  [](std::string_view key, const Text& text) { return key < text.text; });
    if (after == texts_.begin()) return;
    std::uint32_t at = static_cast<std::uint32_t>(after - texts_.begin() - 1);
    while (at != kNone && !name.starts_with(texts_[at].text)) at = texts_[at].shorter;
    for (; at != kNone; at = texts_[at].shorter) each(texts_[at].value);
}

void PrefixIndex::ForEachAlongside(std::string_view start,
                                   const std::function<void(std::uint32_t)>& each) const {
    ForEachStartOf(start, each);
    auto at = std::upper_bound(texts_.begin(), texts_.end(), start,
                               [](std::string_view key, const Text& text) { return key < text.text; });
    for (; at != texts_.end() && std::string_view(at->text).starts_with(start); ++at) each(at->value);
}

GlobSet::GlobSet(const std::vector<std::string>& patterns) {
    globs_.reserve(patterns.size());
    for (std::uint32_t g = 0; g < patterns.size(); ++g) {
        globs_.emplace_back(patterns[g]);
        matchesAll_ = matchesAll_ || globs_.back().MatchesAll();
        // Wildcards are ASCII, so the literal ends are whole characters of the folded text.
        const std::string folded = FoldCase(patterns[g]);
        const std::size_t first = std::min(folded.find_first_of("*?"), folded.size());
        const std::size_t last = folded.find_last_of("*?");
        const std::size_t endLength = last == std::string::npos ? folded.size() : folded.size() - last - 1;
        if (first > 0 && first >= endLength)
            starts_.Add(folded.substr(0, first), g);
        else if (endLength > 0)
            ends_.Add(std::string(folded.rbegin(), folded.rbegin() + static_cast<std::ptrdiff_t>(endLength)),
                      g);
        else
            others_.push_back(g);
    }
    starts_.Seal();
    ends_.Seal();
}

bool GlobSet::Matches(std::string_view text) const {
    const auto matches = [&](std::uint32_t g) { return globs_[g].Matches(text); };
    if (globs_.size() <= kTriedInTurn) {
        for (std::uint32_t g = 0; g < globs_.size(); ++g)
            if (matches(g)) return true;
        return false;
    }
    const std::string folded = FoldCase(text);
    bool found = false;
    const auto attempt = [&](std::uint32_t g) { found = found || matches(g); };
    starts_.ForEachStartOf(folded, attempt);
    if (!found) ends_.ForEachStartOf(std::string(folded.rbegin(), folded.rend()), attempt);
    for (std::size_t i = 0; !found && i < others_.size(); ++i) attempt(others_[i]);
    return found;
}

void GlobSet::MayMatchAfter(std::string_view start, std::vector<std::uint32_t>& out) const {
    if (globs_.size() <= kTriedInTurn) {
        for (std::uint32_t g = 0; g < globs_.size(); ++g) out.push_back(g);
        return;
    }
    const auto keep = [&out](std::uint32_t g) { out.push_back(g); };
    starts_.ForEachAlongside(FoldCase(start), keep);
    ends_.ForEachAlongside({}, keep);
    out.insert(out.end(), others_.begin(), others_.end());
}

std::string PatternLimitProblem(const std::vector<std::string>& patterns, std::string_view list) {
    const std::string kind(list);
    if (patterns.size() > kMaxPatterns)
        return "too many " + kind + " patterns: " + std::to_string(patterns.size()) +
               ", more than the limit of " + std::to_string(kMaxPatterns) + " in one list";
    for (const std::string& pattern : patterns) {
        // Counted as the glob reads it: a byte that begins no UTF-8 sequence is a character too.
        std::size_t characters = 0, opening = 0;
        for (std::size_t i = 0; i < pattern.size(); ++characters) {
            if (characters == 20) opening = i;
            const auto byte = static_cast<unsigned char>(pattern[i]);
            i += byte < 0x80 ? 1 : std::max<std::size_t>(1, Utf8SequenceLength(pattern, i));
        }
        if (characters > kMaxPatternLength)
            return kind + " pattern \"" + pattern.substr(0, opening) +
                   "...\" is too long: " + std::to_string(characters) +
                   " characters, more than the limit of " + std::to_string(kMaxPatternLength);
    }
    return {};
}

bool GlobMatches(std::string_view pattern, std::string_view text) {
    return Glob(pattern).Matches(text);
}

}  // namespace tablor
