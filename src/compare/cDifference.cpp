#include "compare/cDifference.hpp"

#include "model/ObjectType.hpp"

namespace tablor {
namespace {

const std::string& NoText() {
    static const std::string empty;
    return empty;
}

}  // namespace

struct cDifference::OwnTexts {
    std::string objectName, source, message, fieldTable, fieldType, fieldSize, fieldType2, fieldSize2;
    std::string property, value1, value2, schema;
};

cDifference cDifference::DefinitionChanged(std::int32_t ObjectType, std::string ObjectName,
                                           std::string FieldTable, std::string Property, std::string Value1,
                                           std::string Value2, std::string Message, std::string Schema) {
    cDifference difference(std::string(), ObjectType, std::string(), std::string());
    OwnTexts texts;
    texts.objectName = std::move(ObjectName);
    texts.message = std::move(Message);
    texts.fieldTable = std::move(FieldTable);
    texts.property = std::move(Property);
    texts.value1 = std::move(Value1);
    texts.value2 = std::move(Value2);
    texts.schema = std::move(Schema);
    difference.data_ = std::make_shared<const OwnTexts>(std::move(texts));
    return difference;
}

cDifference cDifference::ColumnChanged(std::string FieldTable, std::string FieldName, std::string FieldType,
                                       std::string FieldSize, std::string FieldType2, std::string FieldSize2,
                                       std::string Message) {
    cDifference difference(std::string(), ObjectType::FieldChanged, std::string(), std::string());
    difference.data_ = std::make_shared<const OwnTexts>(OwnTexts{std::move(FieldName),
                                                                 {},
                                                                 std::move(Message),
                                                                 std::move(FieldTable),
                                                                 std::move(FieldType),
                                                                 std::move(FieldSize),
                                                                 std::move(FieldType2),
                                                                 std::move(FieldSize2),
                                                                 {},
                                                                 {},
                                                                 {},
                                                                 {}});
    return difference;
}

cDifference::cDifference(std::string ObjectName, std::int32_t ObjectType, std::string Source,
                         std::string Message)
    : ObjectType(ObjectType),
      data_(std::make_shared<const OwnTexts>(OwnTexts{std::move(ObjectName),
                                                      std::move(Source),
                                                      std::move(Message),
                                                      {},
                                                      {},
                                                      {},
                                                      {},
                                                      {},
                                                      {},
                                                      {},
                                                      {},
                                                      {}})) {}

cDifference::cDifference(std::int32_t ObjectType, std::shared_ptr<const cMetaDataElement> element,
                         std::shared_ptr<const std::string> source, std::uint32_t field)
    : ObjectType(ObjectType), data_(std::move(element)), source_(std::move(source)), field_(field) {}

const cField& cDifference::Field() const {
    return *Element().Fields().Items()[field_];
}

const std::string& cDifference::ObjectName() const {
    if (const OwnTexts* texts = Texts()) return texts->objectName;
    return field_ == kNoField ? Element().ObjectName : Field().FieldName;
}

const std::string& cDifference::Source() const {
    return source_ ? *source_ : Texts()->source;
}

const std::string& cDifference::FieldTable() const {
    if (const OwnTexts* texts = Texts()) return texts->fieldTable;
    return field_ == kNoField ? NoText() : Element().ObjectName;
}

const std::string& cDifference::FieldType() const {
    if (const OwnTexts* texts = Texts()) return texts->fieldType;
    return field_ == kNoField ? NoText() : Field().FieldType;
}

const std::string& cDifference::FieldSize() const {
    if (const OwnTexts* texts = Texts()) return texts->fieldSize;
    return field_ == kNoField ? NoText() : Field().FieldSize;
}

const std::string& cDifference::FieldType2() const {
    const OwnTexts* texts = Texts();
    return texts ? texts->fieldType2 : NoText();
}

const std::string& cDifference::Property() const {
    const OwnTexts* texts = Texts();
    return texts ? texts->property : NoText();
}

const std::string& cDifference::Value1() const {
    const OwnTexts* texts = Texts();
    return texts ? texts->value1 : NoText();
}

const std::string& cDifference::Value2() const {
    const OwnTexts* texts = Texts();
    return texts ? texts->value2 : NoText();
}

const std::string& cDifference::Schema() const {
    const OwnTexts* texts = Texts();
    return texts ? texts->schema : Element().Schema;
}

const std::string& cDifference::FieldSize2() const {
    const OwnTexts* texts = Texts();
    return texts ? texts->fieldSize2 : NoText();
}

std::string cDifference::Message() const {
    if (const OwnTexts* texts = Texts()) return texts->message;
    const std::string& side = *source_;
    if (field_ != kNoField) {
        const std::string& column = Field().FieldName;
        const std::string& table = Element().ObjectName;
        std::string message;
        message.reserve(64 + column.size() + table.size() + side.size());
        message.append("The field ").append(column).append(" was not found on the table ");
        return message.append(table).append(" on the object ").append(side);
    }
    switch (ObjectType) {
        case ObjectType::Table:
            return "Table was not found on " + side;
        case ObjectType::View:
            return "View was not found on " + side;
        case ObjectType::Constraint:
            return "Constraint was not found on " + side;
        case ObjectType::Index:
            return "Index was not found on " + side;
        case ObjectType::Trigger:
            return "Trigger was not found on " + side;
        case ObjectType::Sequence:
            return "Sequence was not found on " + side;
        case ObjectType::Type:
            return "Type was not found on " + side;
        default:
            return "Routine was not found on " + side;
    }
}

void cDifference::QualifyBySchema() {
    if (!source_ || Element().Schema.empty()) return;
    const std::string& schema = Element().Schema;
    const std::string qualified = schema + "." + Element().ObjectName;
    OwnTexts texts{ObjectName(), Source(), {}, FieldTable(), FieldType(), FieldSize(),
                   {},           {},       {}, {},           {},          {}};
    if (field_ == kNoField) {
        texts.objectName = qualified;
        texts.message = Message();
    } else {
        texts.fieldTable = qualified;
        texts.message = "The field " + texts.objectName + " was not found on the table " + qualified +
                        " on the object " + texts.source;
    }
    data_ = std::make_shared<const OwnTexts>(std::move(texts));
    source_.reset();
}

void cDifference::ShowNameAs(std::string name) {
    if (!source_ || field_ != kNoField) return;
    OwnTexts texts{std::move(name), Source(), Message(), {}, {}, {}, {}, {}, {}, {}, {}, {}};
    data_ = std::make_shared<const OwnTexts>(std::move(texts));
    source_.reset();
}

void cDifference::SetFieldDetails(std::string FieldTable, std::string FieldType, std::string FieldSize) {
    // Copies of a difference share their texts: details go into texts of this one's own.
    data_ = std::make_shared<const OwnTexts>(
        OwnTexts{ObjectName(), Source(), Message(), std::move(FieldTable), std::move(FieldType),
                 std::move(FieldSize), FieldType2(), FieldSize2(), Property(), Value1(), Value2(), Schema()});
    source_.reset();
}

}  // namespace tablor
