#include "workbench/PatternUse.hpp"

#include <functional>
#include <string>
#include <vector>

#include "support/TextCase.hpp"

namespace tablor::gui {
namespace {

// Patterns not yet seen to match. Each is filed, as GlobSet files them, under the literal text
// it starts or else ends with, so that a name is tried only on those it could match: ten
// thousand patterns over a million names stay quick.
class Unmatched {
  public:
    explicit Unmatched(const std::vector<std::string>& patterns) : matched_(patterns.size(), false) {
        globs_.reserve(patterns.size());
        for (std::uint32_t g = 0; g < patterns.size(); ++g) {
            globs_.emplace_back(patterns[g]);
            const std::string folded = FoldCase(patterns[g]);
            const std::size_t first = std::min(folded.find_first_of("*?"), folded.size());
            const std::size_t last = folded.find_last_of("*?");
            const std::size_t endLength =
                last == std::string::npos ? folded.size() : folded.size() - last - 1;
            if (first > 0 && first >= endLength)
                starts_.Add(folded.substr(0, first), g);
            else if (endLength > 0)
                ends_.Add(
                    std::string(folded.rbegin(), folded.rbegin() + static_cast<std::ptrdiff_t>(endLength)),
                    g);
            else
                others_.push_back(g);
        }
        starts_.Seal();
        ends_.Seal();
        left_ = patterns.size();
    }

    bool AllMatched() const { return left_ == 0; }
    bool Matched(std::size_t pattern) const { return matched_[pattern]; }

    void Try(std::string_view name) {
        const auto attempt = [&](std::uint32_t g) {
            if (matched_[g] || !globs_[g].Matches(name)) return;
            matched_[g] = true;
            --left_;
        };
        const std::string folded = FoldCase(name);
        starts_.ForEachStartOf(folded, attempt);
        ends_.ForEachStartOf(std::string(folded.rbegin(), folded.rend()), attempt);
        for (const std::uint32_t g : others_) attempt(g);
    }

  private:
    std::vector<Glob> globs_;
    std::vector<bool> matched_;
    std::size_t left_ = 0;
    PrefixIndex starts_;
    PrefixIndex ends_;  // texts reversed
    std::vector<std::uint32_t> others_;
};

// Every name the patterns apply to, on both sides, until `done` says no pattern is left.
void ForEachName(const cMetaData& first, const cMetaData& second, const std::function<bool()>& done,
                 const std::function<void(std::string_view)>& each) {
    for (const cMetaData* side : {&first, &second})
        for (const auto* elements : {&side->Tables().Items(), &side->Views().Items(),
                                     &side->Routines().Items(), &side->Constraints().Items()})
            for (const auto& element : *elements) {
                if (done()) return;
                each(element->ObjectName);
            }
}

}  // namespace

QStringList PatternsMatchingNothing(const CompareOptions& options, const cMetaData& first,
                                    const cMetaData& second) {
    Unmatched include(options.include);
    Unmatched exclude(options.exclude);
    ForEachName(
        first, second, [&] { return include.AllMatched() && exclude.AllMatched(); },
        [&](std::string_view name) {
            include.Try(name);
            exclude.Try(name);
        });

    // A dotted exclude also leaves out columns: one that matched no element may match a column.
    std::vector<std::string> dotted;
    std::vector<std::size_t> dottedAt;
    for (std::size_t p = 0; p < options.exclude.size(); ++p)
        if (!exclude.Matched(p) && options.exclude[p].find('.') != std::string::npos) {
            dotted.push_back(options.exclude[p]);
            dottedAt.push_back(p);
        }
    Unmatched columns(dotted);
    std::string name;
    for (const cMetaData* side : {&first, &second})
        for (const auto& table : side->Tables().Items())
            for (std::size_t c = 0;
                 c < static_cast<std::size_t>(table->Fields().Count()) && !columns.AllMatched(); ++c) {
                name.assign(table->ObjectName).append(".").append(table->Fields().NameAt(c));
                columns.Try(name);
            }

    QStringList unmatched;
    for (std::size_t p = 0; p < options.include.size(); ++p)
        if (!include.Matched(p))
            unmatched.append("include pattern " + QString::fromStdString(options.include[p]));
    for (std::size_t p = 0, d = 0; p < options.exclude.size(); ++p) {
        const bool dottedMatch = d < dottedAt.size() && dottedAt[d] == p && columns.Matched(d++);
        if (!exclude.Matched(p) && !dottedMatch)
            unmatched.append("exclude pattern " + QString::fromStdString(options.exclude[p]));
    }
    return unmatched;
}

}  // namespace tablor::gui
