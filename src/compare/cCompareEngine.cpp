#include "compare/cCompareEngine.hpp"

#include <algorithm>
#include <cstring>

#include "compare/NameIndex.hpp"

namespace tablor {

// The names of one schema's four collections, indexed once and used when that schema is
// the side being searched.
struct cCompareEngine::SchemaIndex {
    explicit SchemaIndex(const cMetaData& schema)
        : views(schema.Views()),
          constraints(schema.Constraints()),
          routines(schema.Routines()),
          tables(schema.Tables()) {}
    NameIndex views;
    NameIndex constraints;
    NameIndex routines;
    NameIndex tables;
};

namespace {

std::uint64_t PairKey(std::uint32_t secondSide, std::uint32_t firstSide) {
    return (static_cast<std::uint64_t>(secondSide) << 32) | firstSide;
}

// Column names are short: compared inline, eight bytes at a time, instead of through memcmp.
inline bool SameName(std::string_view a, std::string_view b) {
    std::size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    for (; n >= 8; n -= 8, x += 8, y += 8) {
        std::uint64_t u, v;
        std::memcpy(&u, x, 8);
        std::memcpy(&v, y, 8);
        if (u != v) return false;
    }
    for (; n > 0; --n)
        if (*x++ != *y++) return false;
    return true;
}

}  // namespace

coDifferences& cCompareEngine::Compare(const cMetaData& MetaData1, const std::string& srcName1,
                                       const cMetaData& MetaData2, const std::string& srcName2) {
    Clear();
    backwardMissing_.clear();
    const SchemaIndex index1(MetaData1);
    const SchemaIndex index2(MetaData2);
    // Every difference refers to the name of the side that lacks it; one copy serves them all.
    const auto name1 = std::make_shared<const std::string>(srcName1);
    const auto name2 = std::make_shared<const std::string>(srcName2);
    CompareOneWay(MetaData1, MetaData2, index2, name2, Pass::Forward);
    // Sorted by pair, each pair's columns still in position order, for the backward pass.
    std::sort(backwardMissing_.begin(), backwardMissing_.end());
    CompareOneWay(MetaData2, MetaData1, index1, name1, Pass::Backward);
    backwardMissing_.clear();
    return *differences_;
}

void cCompareEngine::CompareOneWay(const cMetaData& a, const cMetaData& b, const SchemaIndex& bIndex,
                                   const SideName& name, Pass pass) {
    for (const auto& view : a.Views()) {
        if (!bIndex.views.Contains(view->ObjectName)) differences_->AddFound(ObjectType::View, view, name);
    }
    for (const auto& constraint : a.Constraints()) {
        if (!bIndex.constraints.Contains(constraint->ObjectName))
            differences_->AddFound(ObjectType::Constraint, constraint, name);
    }
    for (const auto& routine : a.Routines()) {
        // A procedure and a function of one name are the same routine.
        if (!bIndex.routines.Contains(routine->ObjectName))
            differences_->AddFound(routine->ObjectType, routine, name);
    }
    const auto& aTables = a.Tables().Items();
    const auto& bTables = b.Tables().Items();
    for (std::uint32_t i = 0; i < aTables.size(); ++i) {
        const auto& table = aTables[i];
        std::uint32_t match = bIndex.tables.First(table->ObjectName);
        if (match == NameIndex::kNone) {
            differences_->AddFound(ObjectType::Table, table, name);
            continue;
        }
        // A name held twice on the other side is compared column by column with each.
        for (; match != NameIndex::kNone; match = bIndex.tables.Next(match)) {
            if (pass == Pass::Forward) {
                CompareColumns(table, *bTables[match], name, PairKey(match, i));
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

void cCompareEngine::CompareColumns(const std::shared_ptr<cMetaDataElement>& aTable,
                                    const cMetaDataElement& bTable, const SideName& name,
                                    std::uint64_t backwardPair) {
    const coFields& aFields = aTable->Fields();
    const coFields& bFields = bTable.Fields();
    const auto aCount = static_cast<std::size_t>(aFields.Count());
    const auto bCount = static_cast<std::size_t>(bFields.Count());

    // Each column is looked for by exact name, read from each list's name buffer. Short lists
    // are scanned, trying the same position first, since most tables hold their columns in
    // the same order on both sides; long lists get a hash table of each name's first
    // position. Names may repeat (empty names do).
    constexpr std::size_t kScanLimit = 48;
    const bool hashed = bCount > kScanLimit;
    std::unordered_map<std::string_view, std::uint32_t> bPositions;
    if (hashed) {
        bPositions.reserve(bCount);
        for (std::uint32_t x = 0; x < bCount; ++x) bPositions.emplace(bFields.NameAt(x), x);
    }
    std::vector<unsigned char>& bMatched = matchedScratch_;
    bMatched.assign(bCount, 0);
    std::size_t matchedCount = 0;

    for (std::size_t n = 0; n < aCount; ++n) {
        const std::string_view field = aFields.NameAt(n);
        std::size_t at = bCount;
        if (hashed) {
            const auto found = bPositions.find(field);
            if (found != bPositions.end()) at = found->second;
        } else if (n < bCount && SameName(bFields.NameAt(n), field)) {
            at = n;
        } else {
            for (std::size_t x = 0; x < bCount; ++x) {
                if (SameName(bFields.NameAt(x), field)) {
                    at = x;
                    break;
                }
            }
        }
        if (at == bCount) {
            differences_->AddFound(ObjectType::Field, aTable, name, static_cast<std::uint32_t>(n));
        } else if (bMatched[at] == 0) {
            bMatched[at] = 1;
            ++matchedCount;
        }
    }
    if (matchedCount == bCount) return;
    // A column left unmatched is missing only when no column of its name was matched: with
    // repeated names, one match stands for all of them.
    const auto nameMatched = [&](std::uint32_t x) {
        if (hashed) return bMatched[bPositions.find(bFields.NameAt(x))->second] != 0;
        for (std::size_t y = 0; y < bCount; ++y)
            if (bMatched[y] != 0 && SameName(bFields.NameAt(y), bFields.NameAt(x))) return true;
        return false;
    };
    for (std::uint32_t x = 0; x < bCount; ++x)
        if (!bMatched[x] && !nameMatched(x)) backwardMissing_.emplace_back(backwardPair, x);
}

}  // namespace tablor
