#include "compare/CompareOptions.hpp"

#include <algorithm>
#include <array>

#include "support/TextCase.hpp"
#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

constexpr std::array<std::string_view, 7> kKindWords = {"tables",    "columns",     "views",  "procedures",
                                                        "functions", "constraints", "changes"};

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
    AppendList(out, "include", include);
    AppendList(out, "exclude", exclude);
    if (only != CompareKind::All)
        out.append(out.empty() ? "" : ", ").append("only=").append(CompareKindsText(only));
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
    ascii_.assign(128 * words_, 0);
    any_.assign(words_, 0);
    star_.assign(words_, 0);
    none_.assign(words_, 0);
    for (std::size_t j = 0; j < chars.size(); ++j) {
        const std::uint64_t bit = std::uint64_t{1} << (j % 64);
        const char32_t c = chars[j];
        if (c == U'*') {
            star_[j / 64] |= bit;
        } else if (c == U'?') {
            any_[j / 64] |= bit;
        } else if (c < 128) {
            ascii_[c * words_ + j / 64] |= bit;
        } else {
            auto at = std::find(otherChars_.begin(), otherChars_.end(), c);
            if (at == otherChars_.end()) {
                otherChars_.push_back(c);
                otherMasks_.resize(otherMasks_.size() + words_, 0);
                at = otherChars_.end() - 1;
            }
            otherMasks_[static_cast<std::size_t>(at - otherChars_.begin()) * words_ + j / 64] |= bit;
        }
    }
}

const std::uint64_t* Glob::MaskOf(char32_t c) const {
    if (c < 128) return &ascii_[c * words_];
    const auto at = std::find(otherChars_.begin(), otherChars_.end(), c);
    if (at == otherChars_.end()) return none_.data();
    return &otherMasks_[static_cast<std::size_t>(at - otherChars_.begin()) * words_];
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
    const std::uint64_t* mask = MaskOf(c);
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w < words_; ++w) {
        const std::uint64_t moving = state[w] & (mask[w] | any_[w]);
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
            state = ((state & (ascii_[c] | any_[0])) << 1) | (state & star);
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

bool GlobMatches(std::string_view pattern, std::string_view text) {
    return Glob(pattern).Matches(text);
}

}  // namespace tablor
