#include "convert/attribute_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>

#include "platform/cp932.h"

namespace gridora {

int DefineLayerFields(std::string_view layer_name, DBFHandle table) {
    int added = 0;
    for (const FieldSpec& field : LayerFields(layer_name))
        if (DBFAddField(table, std::string(field.name).c_str(), field.type == FieldType::Integer ? FTInteger : FTString, field.width, 0) >= 0) ++added;
    return added;
}

DBFHandle CreateAttributeTable(const std::filesystem::path& base, SAHooks* hooks) {
    std::string path = base.string() + ".dbf";
    DBFHandle table = hooks ? DBFCreateLL(path.c_str(), "LDID/19", hooks) : DBFCreateEx(path.c_str(), "LDID/19");
    // Readers that ignore the language driver byte take the code page from the .cpg.
    if (table) {
        std::ofstream code_page(base.string() + ".cpg", std::ios::binary | std::ios::trunc);
        code_page << "932";
    }
    return table;
}

bool WriteAttributeText(DBFHandle table, int record, int field, std::string_view cp932) {
    int width = 0;
    DBFGetFieldInfo(table, field, nullptr, &width, nullptr);
    std::string value = TruncateCp932(cp932, static_cast<std::size_t>(width < 0 ? 0 : width));
    return DBFWriteStringAttribute(table, record, field, value.c_str()) != 0;
}

namespace {

// The decimal digits of `value`, with its sign.
std::string_view IntegerDigits(int value, std::array<char, 16>& digits) {
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return {digits.data(), static_cast<std::size_t>(result.ptr - digits.data())};
}

}  // namespace

std::string IntegerFieldText(int value, int width) {
    std::array<char, 16> buffer;
    const std::string_view digits = IntegerDigits(value, buffer);
    const std::size_t field = static_cast<std::size_t>(std::max(width, 0));
    if (digits.size() >= field) return std::string(digits.substr(0, field));
    std::string text(field - digits.size(), ' ');
    text.append(digits);
    return text;
}

bool WriteAttributeInteger(DBFHandle table, int record, int field, int value) {
    int width = 0, decimals = 0;
    DBFGetFieldInfo(table, field, nullptr, &width, &decimals);
    const char type = DBFGetNativeFieldType(table, field);
    if ((type != 'N' && type != 'F') || decimals != 0 || width <= 0)
        return DBFWriteIntegerAttribute(table, record, field, value) != 0;
    // The direct write copies the text as it stands; it has the field's width, as
    // shapelib's own formatting would, so the record holds the same bytes.
    std::string text = IntegerFieldText(value, width);
    std::array<char, 16> buffer;
    const bool fits = IntegerDigits(value, buffer).size() <= static_cast<std::size_t>(width);
    return DBFWriteAttributeDirectly(table, record, field, text.data()) != 0 && fits;
}

}  // namespace gridora
