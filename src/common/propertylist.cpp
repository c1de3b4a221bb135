#include "common/propertylist.h"

#include <cstdlib>

namespace PropertyList {
namespace {
QVariant variantFromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        const QString value = QString::fromUtf8(text ? text : "");
        std::free(text);
        return value;
    }
    case PLIST_UINT:
        return integerValue(node).value_or(0);
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    default:
        return QVariant();
    }
}

plist_t nodeFromVariant(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}
} // namespace

Node rootFromBytes(const QByteArray& data)
{
    // libplist takes a 32-bit length.
    if (data.isEmpty() || data.size() > 0x7fffffff)
        return nullptr;
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    return Node(root);
}

std::optional<QVariantMap> dictionaryFromBytes(const QByteArray& data)
{
    const Node root = rootFromBytes(data);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    QVariantMap dictionary;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(root.get(), &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), iter, &key, &value);
        if (!key)
            break;
        const QVariant converted = variantFromNode(value);
        if (converted.isValid())
            dictionary.insert(QString::fromUtf8(key), converted);
        std::free(key);
    }
    std::free(iter);
    return dictionary;
}

QByteArray xmlFromDictionary(const QVariantMap& dictionary)
{
    const Node root(plist_new_dict());
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it)
        plist_dict_set_item(root.get(), it.key().toUtf8().constData(), nodeFromVariant(it.value()));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml)
        return QByteArray();
    const QByteArray data(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return data;
}

plist_t item(plist_t node, const char* key)
{
    return node && plist_get_node_type(node) == PLIST_DICT ? plist_dict_get_item(node, key) : nullptr;
}

plist_t arrayItem(plist_t node, uint32_t index)
{
    return index < arraySize(node) ? plist_array_get_item(node, index) : nullptr;
}

uint32_t arraySize(plist_t node)
{
    return node && plist_get_node_type(node) == PLIST_ARRAY ? plist_array_get_size(node) : 0;
}

std::optional<qint64> integerValue(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_UINT)
        return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return static_cast<qint64>(value);
}
} // namespace PropertyList
