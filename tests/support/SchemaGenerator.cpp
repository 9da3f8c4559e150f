#include "SchemaGenerator.hpp"

#include <array>
#include <random>
#include <string>

namespace tablor::testing {
namespace {

std::string Upper(std::string text) {
    for (char& ch : text)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
    return text;
}

class Builder {
  public:
    Builder(const SchemaShape& shape, std::uint32_t seed) : shape_(shape), random_(seed) {}

    // A name as both sides hold it, or changed on one side.
    std::string Name(const std::string& base, int side) {
        if (shape_.optionCases && Chance(shape_.differing)) {
            std::string mixed = base;
            mixed[0] = static_cast<char>(mixed[0] - 32);  // Table_3 beside table_3
            return side == 0 ? base : mixed;
        }
        if (!Chance(shape_.differing)) return base;
        switch (Pick(shape_.awkwardNames ? 4 : 2)) {
            case 0:
                return side == 0 ? base : base + "_v2";
            case 1:
                return side == 0 ? base + "_old" : base;
            case 2:
                return side == 0 ? base : Upper(base);
            default:
                return "Dup" + std::to_string(Pick(3));  // the same name repeated
        }
    }
    // A generated constraint name on each side: the stem the same, the digits mostly not.
    std::string GeneratedName(const std::string& table, int side) {
        static const char* const kPrefixes[] = {"PK", "FK", "DF", "UQ", "CK"};
        std::string name = std::string(kPrefixes[Pick(5)]) + "__" + table.substr(0, 8) + "__";
        const int digits = 7 + Pick(11);  // 7 and 17 are not generated
        std::string hex;
        for (int i = 0; i < digits; ++i)
            hex += "0123456789ABCDEFabcdef"[Pick(side == 0 || Chance(0.3) ? 16 : 22)];
        return name + hex;
    }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  private:
    SchemaShape shape_;
    std::mt19937 random_;
};

bool HasField(const coFields& fields, const std::string& name) {
    for (const auto& field : fields)
        if (field->FieldName == name) return true;
    return false;
}

}  // namespace

std::pair<std::shared_ptr<cMetaData>, std::shared_ptr<cMetaData>> GenerateSchemaPair(const SchemaShape& shape,
                                                                                     std::uint32_t seed) {
    Builder builder(shape, seed);
    auto first = std::make_shared<cMetaData>();
    auto second = std::make_shared<cMetaData>();
    cMetaData* sides[2] = {first.get(), second.get()};
    const auto both = [&](auto&& add) {
        for (int side = 0; side < 2; ++side) add(*sides[side], side);
    };
    const auto types = std::array{"int", "nvarchar", "datetime2", "varchar", "decimal"};

    for (int i = 0; i < shape.views; ++i) {
        const std::string base = "view_" + std::to_string(i);
        std::string names[2] = {builder.Name(base, 0), builder.Name(base, 1)};
        both([&](cMetaData& schema, int side) { schema.Views().Add(names[side]); });
    }
    for (int i = 0; i < shape.constraints; ++i) {
        const std::string base = "pk_constraint_" + std::to_string(i);
        std::string names[2] = {builder.Name(base, 0), builder.Name(base, 1)};
        if (shape.optionCases && builder.Chance(0.5)) {
            const std::string table = "table_" + std::to_string(builder.Pick(shape.tables + 1));
            names[0] = builder.GeneratedName(table, 0);
            names[1] = builder.Chance(0.2) ? names[0] : builder.GeneratedName(table, 1);
            if (builder.Chance(0.2)) names[1][3] = 'x';  // another stem
        }
        both([&](cMetaData& schema, int side) { schema.Constraints().Add(names[side]); });
    }
    for (int i = 0; i < shape.routines; ++i) {
        const std::string base = "usp_routine_" + std::to_string(i);
        std::string names[2] = {builder.Name(base, 0), builder.Name(base, 1)};
        const int kind = 1 + builder.Pick(2);
        both([&](cMetaData& schema, int side) { schema.Routines().Add(names[side], kind); });
    }
    for (int t = 0; t < shape.tables; ++t) {
        const std::string base = "table_" + std::to_string(t);
        std::string names[2] = {builder.Name(base, 0), builder.Name(base, 1)};
        std::shared_ptr<cMetaDataElement> tables[2];
        both([&](cMetaData& schema, int side) { tables[side] = schema.Tables().Add(names[side]); });
        for (int c = 0; c < shape.columnsPerTable; ++c) {
            const std::string column = "column_" + std::to_string(c);
            const std::string type =
                types[static_cast<std::size_t>(builder.Pick(static_cast<int>(types.size())))];
            const std::string size =
                type[0] == 'n' || type[0] == 'v' ? std::to_string(10 + builder.Pick(200)) : "";
            for (int side = 0; side < 2; ++side) {
                auto& fields = tables[side]->Fields();
                std::string name = builder.Name(column, side);
                // The same name twice would be refused; empty names may repeat, and a name that
                // differs from another column's in letter case only stands beside it.
                if (name.rfind("Dup", 0) == 0)
                    name = builder.Pick(2) == 0 ? std::string()
                                                : "COLUMN_" + std::to_string(builder.Pick(c + 1));
                if (fields.Count() > 0 && !name.empty() && HasField(fields, name))
                    name = column + "_dup" + std::to_string(side);
                std::string sideType = type, sideSize = size;
                if (shape.optionCases && side == 1 && builder.Chance(shape.differing * 4)) {
                    switch (builder.Pick(3)) {
                        case 0:
                            sideType =
                                types[static_cast<std::size_t>(builder.Pick(static_cast<int>(types.size())))];
                            break;
                        case 1:
                            sideSize =
                                builder.Chance(0.5) ? std::string() : std::to_string(builder.Pick(300));
                            break;
                        default:
                            sideType = Upper(type);  // the same type
                    }
                }
                fields.Add(name, sideType, sideSize);
            }
        }
    }
    return {first, second};
}

}  // namespace tablor::testing
