#include "compare/cCompareEngine.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "compare/DefinitionComparison.hpp"
#include "compare/NameIndex.hpp"
#include "compare/SameText.hpp"
#include "support/TablorError.hpp"
#include "support/TextCase.hpp"

namespace tablor {

// The options made ready for matching: the globs compiled once; an include of "*" lets every
// name through untried.
struct cCompareEngine::Rules {
    explicit Rules(const CompareOptions& options)
        : fold(options.ignoreCase),
          generated(options.ignoreGeneratedNames),
          only(options.only),
          include(options.include),
          exclude(options.exclude),
          columnExclude(Dotted(options.exclude)) {
        const bool changesShown = (only & CompareKind::Changes) != 0;
        columnsWalked = (only & CompareKind::Columns) != 0 ||
                        ((options.columnChanges || options.definitions) && changesShown);
        changes = options.columnChanges && changesShown;
        columnDefinitions = options.definitions && changesShown;
    }

    static std::vector<std::string> Dotted(const std::vector<std::string>& patterns) {
        std::vector<std::string> dotted;
        for (const auto& pattern : patterns)
            if (pattern.find('.') != std::string::npos) dotted.push_back(pattern);
        return dotted;
    }

    bool Keep(std::string_view name) const {
        if (!include.Empty() && !include.MatchesAll() && !include.Matches(name)) return false;
        return exclude.Empty() || !exclude.Matches(name);
    }

    // Generated constraint names are keyed by their stem; a leading byte keeps them apart from
    // every other name.
    void AppendKey(std::string& out, std::string_view name, bool constraint) const {
        if (constraint && generated) {
            const std::size_t stem = GeneratedNameStemLength(name);
            out += stem != 0 ? 'g' : 'p';
            if (stem != 0) name = name.substr(0, stem);
        }
        if (fold)
            AppendFolded(out, name);
        else
            out.append(name);
    }

    // The positions of the table's columns that no dotted exclude takes, or nothing when it
    // takes none. Each glob that may match after "TABLE." reads it once; most die there.
    const std::vector<std::uint32_t>* KeptColumns(const cMetaDataElement& table,
                                                  std::vector<std::uint32_t>& kept) const {
        if (columnExclude.Empty()) return nullptr;
        tableStart.assign(table.ObjectName).append(".");
        candidates.clear();
        columnExclude.MayMatchAfter(tableStart, candidates);
        live.clear();
        for (const std::uint32_t g : candidates) {
            if (live.size() == afterTable.size()) afterTable.emplace_back();
            Glob::State& state = afterTable[live.size()];
            columnExclude[g].Start(state);
            columnExclude[g].Feed(state, table.ObjectName);
            columnExclude[g].Feed(state, ".");
            if (!columnExclude[g].Dead(state)) live.push_back(g);
        }
        if (live.empty()) return nullptr;
        const coFields& fields = table.Fields();
        kept.clear();
        for (std::uint32_t x = 0; x < static_cast<std::uint32_t>(fields.Count()); ++x) {
            bool excluded = false;
            for (std::size_t k = 0; k < live.size() && !excluded; ++k) {
                column = afterTable[k];
                columnExclude[live[k]].Feed(column, fields.NameAt(x));
                excluded = columnExclude[live[k]].Accepts(column);
            }
            if (!excluded) kept.push_back(x);
        }
        return &kept;
    }

    bool fold;
    bool generated;
    unsigned only;
    bool columnsWalked = true;
    bool changes = false;
    bool columnDefinitions = false;
    GlobSet include, exclude, columnExclude;
    mutable std::vector<Glob::State> afterTable;  // by place in `live`
    mutable Glob::State column;
    mutable std::vector<std::uint32_t> candidates, live;
    mutable std::string tableStart;
};

namespace {

// An element's key: its schema first when elements pair by schema and name, then its name as
// the options make it (or as it is).
// A routine's signature where both sides know every routine's: overloads pair by it.
const std::string& Signature(const cMetaDataElement& routine) {
    static const std::string none;
    if (!routine.Definition) return none;
    for (const auto& [property, value] : *routine.Definition)
        if (property == "signature") return value;
    return none;
}

template <class R>
auto Key(const R* rules, bool constraint, bool bySchema, bool bySignature = false) {
    return [rules, constraint, bySchema, bySignature](std::string& out, const cMetaDataElement& element) {
        if (bySchema) {
            if (rules != nullptr && rules->fold)
                AppendFolded(out, element.Schema);
            else
                out.append(element.Schema);
            out += '\x1f';
        }
        if (rules != nullptr)
            rules->AppendKey(out, element.ObjectName, constraint);
        else
            out.append(element.ObjectName);
        if (bySignature) out.append(1, '\x1f').append(Signature(element));
    };
}

// Whether every routine of a side has a definition: only then do its overloads pair by signature.
bool RoutinesKnown(const cMetaData& side) {
    const auto& routines = side.Routines().Items();
    return std::all_of(routines.begin(), routines.end(),
                       [](const auto& routine) { return routine->Definition != nullptr; });
}
template <class R>
auto Keep(const R* rules) {
    return [rules](std::string_view name) { return rules == nullptr || rules->Keep(name); };
}

// Every collection of a side, the kinds read with definitions included (empty without).
std::array<const std::vector<std::shared_ptr<cMetaDataElement>>*, 8> AllElements(const cMetaData& side) {
    return {&side.Tables().Items(),    &side.Views().Items(),   &side.Constraints().Items(),
            &side.Routines().Items(),  &side.Indexes().Items(), &side.Triggers().Items(),
            &side.Sequences().Items(), &side.Types().Items()};
}

// How many schemas a side's elements name, counting to two: with none the side does not know
// them.
int SchemaCount(const cMetaData& side) {
    const std::string* first = nullptr;
    for (const auto* elements : AllElements(side)) {
        for (const auto& element : *elements) {
            if (element->Schema.empty()) continue;
            if (first == nullptr)
                first = &element->Schema;
            else if (*first != element->Schema)
                return 2;
        }
    }
    return first == nullptr ? 0 : 1;
}

}  // namespace

// The names that stand in more than one schema on either side, each behind its kind's letter:
// a difference about one of them says which schema's it is.
std::unordered_set<std::string> NamesInSeveralSchemas(const cMetaData& first, const cMetaData& second) {
    std::unordered_map<std::string, const std::string*> schemaOf;
    std::unordered_set<std::string> several;
    for (const cMetaData* side : {&first, &second}) {
        for (const auto* elements : AllElements(*side)) {
            for (const auto& element : *elements) {
                std::string key = cCompareEngine::KindKey(*element);
                const auto [at, added] = schemaOf.emplace(key, &element->Schema);
                if (!added && *at->second != element->Schema) several.insert(std::move(key));
            }
        }
    }
    return several;
}

// Objects pair by schema and name where both sides know their schemas and either holds more
// than one: a database compared with itself then pairs each of its same-named tables with its
// own. Two sides of one schema each pair by name, whatever the schemas are called.
bool cCompareEngine::PairsBySchema(const cMetaData& first, const cMetaData& second) {
    const int count1 = SchemaCount(first);
    const int count2 = SchemaCount(second);
    return count1 > 0 && count2 > 0 && (count1 > 1 || count2 > 1);
}

// The names of one schema's collections, indexed once and used when that schema is the side
// being searched.
struct cCompareEngine::SchemaIndex {
    explicit SchemaIndex(const cMetaData& schema)
        : views(schema.Views()),
          constraints(schema.Constraints()),
          routines(schema.Routines()),
          tables(schema.Tables()),
          indexes(schema.Indexes()),
          triggers(schema.Triggers()),
          sequences(schema.Sequences()),
          types(schema.Types()) {}
    SchemaIndex(const cMetaData& schema, const Rules* rules, bool bySchema, bool bySignature)
        : views(schema.Views(), Key(rules, false, bySchema), Keep(rules)),
          constraints(schema.Constraints(), Key(rules, true, bySchema), Keep(rules)),
          routines(schema.Routines(), Key(rules, false, bySchema, bySignature), Keep(rules)),
          tables(schema.Tables(), Key(rules, false, bySchema), Keep(rules)),
          indexes(schema.Indexes(), Key(rules, false, bySchema), Keep(rules)),
          triggers(schema.Triggers(), Key(rules, false, bySchema), Keep(rules)),
          sequences(schema.Sequences(), Key(rules, false, bySchema), Keep(rules)),
          types(schema.Types(), Key(rules, false, bySchema), Keep(rules)) {}
    NameIndex views;
    NameIndex constraints;
    NameIndex routines;
    NameIndex tables;
    NameIndex indexes;
    NameIndex triggers;
    NameIndex sequences;
    NameIndex types;
};

// The columns of one table as compared: every column, or those the excludes leave.
struct cCompareEngine::Columns {
    const coFields& fields;
    const std::vector<std::uint32_t>* kept;  // positions, or null for every column
    std::size_t Count() const { return kept ? kept->size() : static_cast<std::size_t>(fields.Count()); }
    std::uint32_t PositionAt(std::size_t k) const {
        return kept ? (*kept)[k] : static_cast<std::uint32_t>(k);
    }
    std::string_view NameAt(std::size_t k) const { return fields.NameAt(PositionAt(k)); }
};

namespace {

std::uint64_t PairKey(std::uint32_t secondSide, std::uint32_t firstSide) {
    return (static_cast<std::uint64_t>(secondSide) << 32) | firstSide;
}

inline char AsciiLower(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 0x20) : ch;
}

// Names of ASCII letters only, the usual case, are compared without folding into a copy.
// Folding keeps every character's length in bytes, so texts of other lengths never match.
bool SameFolded(std::string_view a, std::string_view b) {
    const std::size_t n = a.size();
    if (n != b.size()) return false;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {  // the run both spell alike is passed eight bytes at a time
        std::uint64_t u, v;
        std::memcpy(&u, a.data() + i, 8);
        std::memcpy(&v, b.data() + i, 8);
        if (u != v) break;
    }
    for (; i < n; ++i) {
        const char x = a[i], y = b[i];
        if (((static_cast<unsigned char>(x) | static_cast<unsigned char>(y)) & 0x80) != 0)
            return FoldCase(a) == FoldCase(b);
        if (AsciiLower(x) != AsciiLower(y)) return false;
    }
    return true;
}

struct ExactNames {
    static constexpr bool kFolds = false;
    static bool Same(std::string_view a, std::string_view b) { return SameName(a, b); }
};

struct FoldedNames {
    static constexpr bool kFolds = true;
    static bool Same(std::string_view a, std::string_view b) { return SameFolded(a, b); }
};

std::string TypeText(const cField& field) {
    std::string text = field.FieldType;
    if (!field.FieldSize.empty()) text.append(" (").append(field.FieldSize).append(")");
    return text;
}

}  // namespace

std::string cCompareEngine::KindKey(const cMetaDataElement& element) {
    // A procedure and a function of one name are one routine.
    const char kind = element.ObjectType == ObjectType::Function
                          ? static_cast<char>('0' + ObjectType::Procedure)
                          : static_cast<char>('0' + element.ObjectType);
    return kind + element.ObjectName;
}

coDifferences& cCompareEngine::Compare(const cMetaData& MetaData1, const std::string& srcName1,
                                       const cMetaData& MetaData2, const std::string& srcName2,
                                       const CompareOptions& options, const CancellationToken& cancel) {
    for (const auto& [patterns, list] :
         {std::pair{&options.include, "include"}, {&options.exclude, "exclude"}}) {
        if (std::string problem = PatternLimitProblem(*patterns, list); !problem.empty())
            throw TablorError(errors::InvalidProcedureCall,
                              "The comparison options cannot be used: " + problem);
    }
    Clear();
    backwardMissing_.clear();
    const bool plain = options.IsDefault();
    const Rules rules(options);
    rules_ = plain ? nullptr : &rules;
    firstName_ = &srcName1;
    secondName_ = &srcName2;
    cancel_ = &cancel;
    bySchema_ = PairsBySchema(MetaData1, MetaData2);
    severalSchemas_ =
        bySchema_ ? NamesInSeveralSchemas(MetaData1, MetaData2) : std::unordered_set<std::string>();
    const bool keyed = !plain || bySchema_;
    const Rules* keyRules = plain ? nullptr : &rules;
    const bool bySignature = options.definitions && RoutinesKnown(MetaData1) && RoutinesKnown(MetaData2);
    const SchemaIndex index1 =
        keyed ? SchemaIndex(MetaData1, keyRules, bySchema_, bySignature) : SchemaIndex(MetaData1);
    const SchemaIndex index2 =
        keyed ? SchemaIndex(MetaData2, keyRules, bySchema_, bySignature) : SchemaIndex(MetaData2);
    // Every difference refers to the name of the side that lacks it; one copy serves them all.
    const auto name1 = std::make_shared<const std::string>(srcName1);
    const auto name2 = std::make_shared<const std::string>(srcName2);
    bySignature_ = bySignature;
    DefinitionComparison definitions(
        options, [this](const cMetaDataElement& element) { return ShownName(element); }, *differences_);
    definitions_ = options.definitions ? &definitions : nullptr;
    try {
        CompareOneWay(MetaData1, index1, MetaData2, index2, name2, Pass::Forward);
        // Sorted by pair, each pair's columns still in position order, for the backward pass.
        std::sort(backwardMissing_.begin(), backwardMissing_.end());
        CompareOneWay(MetaData2, index2, MetaData1, index1, name1, Pass::Backward);
    } catch (const OperationCancelled&) {
        // Half a list would pass for the whole one.
        Clear();
        backwardMissing_.clear();
        rules_ = nullptr;
        definitions_ = nullptr;
        bySignature_ = false;
        throw;
    }
    backwardMissing_.clear();
    rules_ = nullptr;
    definitions_ = nullptr;
    // A name held in several schemas: each difference about it says which schema's. (A missing
    // routine named otherwise was named so when it was found.)
    if (!severalSchemas_.empty()) {
        for (const auto& difference : differences_->Items()) {
            const cMetaDataElement* element = difference->ElementFound();
            if (element == nullptr) continue;
            if (bySignature && difference->FieldTable().empty() && Renamed(*element))
                difference->ShowNameAs(ShownName(*element));
            else if (severalSchemas_.count(KindKey(*element)) != 0)
                difference->QualifyBySchema();
        }
    }
    bySignature_ = false;
    severalSchemas_.clear();
    return *differences_;
}

// A name in several schemas says which schema's; a routine paired by signature, which overload.
std::string cCompareEngine::ShownName(const cMetaDataElement& element) const {
    std::string name = severalSchemas_.count(KindKey(element)) != 0
                           ? element.Schema + "." + element.ObjectName
                           : element.ObjectName;
    const bool routine =
        element.ObjectType == ObjectType::Function || element.ObjectType == ObjectType::Procedure;
    if (bySignature_ && routine && !Signature(element).empty()) name += "(" + Signature(element) + ")";
    return name;
}

// Whether ShownName tells more than the element's name, without making it.
bool cCompareEngine::Renamed(const cMetaDataElement& element) const {
    const bool routine =
        element.ObjectType == ObjectType::Function || element.ObjectType == ObjectType::Procedure;
    return (bySignature_ && routine && !Signature(element).empty()) ||
           (!severalSchemas_.empty() && severalSchemas_.count(KindKey(element)) != 0);
}

void cCompareEngine::CompareOneWay(const cMetaData& a, const SchemaIndex& aIndex, const cMetaData& b,
                                   const SchemaIndex& bIndex, const SideName& name, Pass pass) {
    const unsigned only = rules_ ? rules_->only : CompareKind::All;
    // Going forward, an element both sides hold has its definition compared with its match's.
    DefinitionComparison* const definitions = pass == Pass::Forward ? definitions_ : nullptr;
    const auto compareKind = [&](unsigned kind, const auto& elements, const NameIndex& aNames,
                                 const NameIndex& bNames, const auto& others) {
        if ((only & kind) == 0) return;
        for (std::uint32_t i = 0; i < elements.size(); ++i) {
            if (aNames.LeftOut(i)) continue;
            const std::uint32_t match = bNames.First(aNames.KeyAt(i));
            if (match == NameIndex::kNone)
                differences_->AddFound(elements[i]->ObjectType, elements[i], name);
            else if (definitions != nullptr)
                definitions->CompareElements(*elements[i], *others[match]);
        }
    };
    compareKind(CompareKind::Views, a.Views().Items(), aIndex.views, bIndex.views, b.Views().Items());
    compareKind(CompareKind::Constraints, a.Constraints().Items(), aIndex.constraints, bIndex.constraints,
                b.Constraints().Items());
    const auto& routines = a.Routines().Items();
    for (std::uint32_t i = 0; i < routines.size(); ++i) {
        const auto& routine = routines[i];
        const unsigned kind =
            routine->ObjectType == ObjectType::Function ? CompareKind::Functions : CompareKind::Procedures;
        if ((only & kind) == 0 || aIndex.routines.LeftOut(i)) continue;
        // A procedure and a function of one name are the same routine.
        const std::uint32_t match = bIndex.routines.First(aIndex.routines.KeyAt(i));
        if (match == NameIndex::kNone) {
            differences_->AddFound(routine->ObjectType, routine, name);
            if (bySignature_ && Renamed(*routine))
                differences_->Items().back()->ShowNameAs(ShownName(*routine));
        } else if (definitions != nullptr)
            definitions->CompareElements(*routine, *b.Routines().Items()[match]);
    }
    if (definitions_ != nullptr) {
        compareKind(CompareKind::Indexes, a.Indexes().Items(), aIndex.indexes, bIndex.indexes,
                    b.Indexes().Items());
        compareKind(CompareKind::Triggers, a.Triggers().Items(), aIndex.triggers, bIndex.triggers,
                    b.Triggers().Items());
        compareKind(CompareKind::Sequences, a.Sequences().Items(), aIndex.sequences, bIndex.sequences,
                    b.Sequences().Items());
        compareKind(CompareKind::Types, a.Types().Items(), aIndex.types, bIndex.types, b.Types().Items());
    }
    const bool showTables = (only & CompareKind::Tables) != 0;
    const bool missingColumns = (only & CompareKind::Columns) != 0;
    // Matched columns are paired for changed types or sizes, and going forward for definitions.
    const bool changes = rules_ && (rules_->changes || (rules_->columnDefinitions && definitions != nullptr));
    const bool columnsWalked = !rules_ || rules_->columnsWalked;
    const bool folds = rules_ && rules_->fold;
    const auto& aTables = a.Tables().Items();
    const auto& bTables = b.Tables().Items();
    for (std::uint32_t i = 0; i < aTables.size(); ++i) {
        if (i % 1024 == 0) cancel_->ThrowIfCancelled();
        if (aIndex.tables.LeftOut(i)) continue;
        const auto& table = aTables[i];
        std::uint32_t match = bIndex.tables.First(aIndex.tables.KeyAt(i));
        if (match == NameIndex::kNone) {
            if (showTables) differences_->AddFound(ObjectType::Table, table, name);
            continue;
        }
        if (definitions != nullptr && showTables) definitions->CompareElements(*table, *bTables[match]);
        if (!columnsWalked) continue;
        const Columns aColumns{table->Fields(), rules_ && pass == Pass::Forward
                                                    ? rules_->KeptColumns(*table, keptScratch_[0])
                                                    : nullptr};
        // A name held twice on the other side is compared column by column with each.
        for (; match != NameIndex::kNone; match = bIndex.tables.Next(match)) {
            if (pass == Pass::Forward) {
                const cMetaDataElement& other = *bTables[match];
                const Columns bColumns{other.Fields(),
                                       rules_ ? rules_->KeptColumns(other, keptScratch_[1]) : nullptr};
                if (folds)
                    CompareColumns<FoldedNames>(table, aColumns, bColumns, name, PairKey(match, i),
                                                missingColumns, changes);
                else
                    CompareColumns<ExactNames>(table, aColumns, bColumns, name, PairKey(match, i),
                                               missingColumns, changes);
                continue;
            }
            const std::uint64_t pair = PairKey(i, match);
            auto missing = std::lower_bound(backwardMissing_.begin(), backwardMissing_.end(),
                                            std::make_pair(pair, std::uint32_t{0}));
            for (; missing != backwardMissing_.end() && missing->first == pair; ++missing)
                differences_->AddFound(ObjectType::Field, table, name, missing->second);
        }
    }
}

template <class Names>
void cCompareEngine::CompareColumns(const std::shared_ptr<cMetaDataElement>& aTable, const Columns& a,
                                    const Columns& b, const SideName& name, std::uint64_t backwardPair,
                                    bool missing, bool changes) {
    const auto aCount = a.Count();
    const auto bCount = b.Count();

    // Each column is looked for by name, read from each list's name buffer. Short lists are
    // scanned, trying the same position first, since most tables hold their columns in the
    // same order on both sides; long lists get a hash table of each name's first position.
    // Names may repeat (empty names do); a changed column is compared with the first of its
    // name, so the same position is only tried first where names cannot repeat.
    constexpr std::size_t kScanLimit = 48;
    const bool hashed = bCount > kScanLimit;
    const bool samePositionFirst = !changes || b.fields.NamesDistinct();
    std::unordered_map<std::string_view, std::uint32_t> bPositions;
    // With letter case ignored, the hash table holds the folded names.
    const auto keyOf = [this](std::string_view field) {
        if constexpr (!Names::kFolds) return field;
        foldedNameScratch_.clear();
        AppendFolded(foldedNameScratch_, field);
        return std::string_view(foldedNameScratch_);
    };
    std::vector<std::uint32_t> foldedEnds;
    if (hashed) {
        bPositions.reserve(bCount);
        if constexpr (Names::kFolds) {
            foldedScratch_.clear();
            foldedEnds.reserve(bCount);
            for (std::uint32_t x = 0; x < bCount; ++x) {
                AppendFolded(foldedScratch_, b.NameAt(x));
                foldedEnds.push_back(static_cast<std::uint32_t>(foldedScratch_.size()));
            }
            for (std::uint32_t x = 0; x < bCount; ++x) {
                const std::uint32_t start = x == 0 ? 0 : foldedEnds[x - 1];
                bPositions.emplace(std::string_view(foldedScratch_).substr(start, foldedEnds[x] - start), x);
            }
        } else {
            for (std::uint32_t x = 0; x < bCount; ++x) bPositions.emplace(b.NameAt(x), x);
        }
    }
    // Each column is an object of its own, away from the names: reading every definition in one
    // pass, before the names are matched, lets those reads overlap.
    const bool definitions = changes && definitions_ != nullptr && rules_->columnDefinitions;
    if (definitions) {
        for (int side = 0; side < 2; ++side) {
            const auto& fields = (side == 0 ? a : b).fields.Items();
            auto& held = definitionsScratch_[side];
            held.resize(fields.size());
            for (std::size_t x = 0; x < fields.size(); ++x) held[x] = fields[x]->Definition.get();
        }
    }
    std::vector<unsigned char>& bMatched = matchedScratch_;
    bMatched.assign(bCount, 0);
    std::size_t matchedCount = 0;
    if (changes) matchAtScratch_.assign(aCount, static_cast<std::uint32_t>(bCount));

    for (std::size_t n = 0; n < aCount; ++n) {
        const std::string_view field = a.NameAt(n);
        std::size_t at = bCount;
        if (hashed) {
            const auto found = bPositions.find(keyOf(field));
            if (found != bPositions.end()) at = found->second;
        } else if (n < bCount && samePositionFirst && Names::Same(b.NameAt(n), field)) {
            at = n;
        } else {
            for (std::size_t x = 0; x < bCount; ++x) {
                if (Names::Same(b.NameAt(x), field)) {
                    at = x;
                    break;
                }
            }
        }
        if (at == bCount) {
            if (missing) differences_->AddFound(ObjectType::Field, aTable, name, a.PositionAt(n));
            continue;
        }
        if (changes) matchAtScratch_[n] = static_cast<std::uint32_t>(at);
        if (bMatched[at] == 0) {
            bMatched[at] = 1;
            ++matchedCount;
        }
    }
    if (changes) {
        const auto& aFields = a.fields.Items();
        const auto& bFields = b.fields.Items();
        const bool typeChanges = rules_->changes;
        for (std::size_t n = 0; n < aCount; ++n) {
            if (matchAtScratch_[n] == bCount) continue;
            const std::uint32_t aAt = a.PositionAt(n);
            const std::uint32_t bAt = b.PositionAt(matchAtScratch_[n]);
            const cField& aField = *aFields[aAt];
            const cField& bField = *bFields[bAt];
            // Where both columns' definitions are compared, their "type" tells a change whole.
            const Properties* aDefinition = definitions ? definitionsScratch_[0][aAt] : nullptr;
            const Properties* bDefinition = definitions ? definitionsScratch_[1][bAt] : nullptr;
            const bool bothDefined = aDefinition != nullptr && bDefinition != nullptr;
            if (bothDefined) definitions_->CompareColumnPair(*aTable, aField, *aDefinition, *bDefinition);
            // Alike byte for byte, the usual case, is told inline.
            if (!typeChanges || bothDefined ||
                (SameName(aField.FieldType, bField.FieldType) &&
                 SameName(aField.FieldSize, bField.FieldSize)))
                continue;
            if (aField.FieldSize != bField.FieldSize || !EqualsIgnoreCase(aField.FieldType, bField.FieldType))
                AddChange(*aTable, aField, bField);
        }
    }
    if (!missing || matchedCount == bCount) return;
    // A column left unmatched is missing only when no column of its name was matched: with
    // repeated names, one match stands for all of them.
    const auto nameMatched = [&](std::uint32_t x) {
        if (hashed) {
            if constexpr (Names::kFolds) {
                const std::uint32_t start = x == 0 ? 0 : foldedEnds[x - 1];
                return bMatched[bPositions
                                    .find(
                                        std::string_view(foldedScratch_).substr(start, foldedEnds[x] - start))
                                    ->second] != 0;
            }
            return bMatched[bPositions.find(b.NameAt(x))->second] != 0;
        }
        for (std::size_t y = 0; y < bCount; ++y)
            if (bMatched[y] != 0 && Names::Same(b.NameAt(y), b.NameAt(x))) return true;
        return false;
    };
    for (std::uint32_t x = 0; x < bCount; ++x)
        if (!bMatched[x] && !nameMatched(x)) backwardMissing_.emplace_back(backwardPair, b.PositionAt(x));
}

void cCompareEngine::AddChange(const cMetaDataElement& aTable, const cField& aField, const cField& bField) {
    const std::string table = severalSchemas_.count(KindKey(aTable)) != 0
                                  ? aTable.Schema + "." + aTable.ObjectName
                                  : aTable.ObjectName;
    std::string message = "Field " + table + "." + aField.FieldName + " changed: " + TypeText(aField) +
                          " on " + *firstName_ + ", " + TypeText(bField) + " on " + *secondName_;
    differences_->AddChange(cDifference::ColumnChanged(table, aField.FieldName, aField.FieldType,
                                                       aField.FieldSize, bField.FieldType, bField.FieldSize,
                                                       std::move(message)));
}

}  // namespace tablor
