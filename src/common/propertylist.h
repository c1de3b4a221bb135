#pragma once

#include <QByteArray>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <plist/plist.h>

// The property lists the system reads and writes (the preferences, the defaults file, a disc's
// ".TOC.plist"), through libplist. Nodes handed out are owned by a unique_ptr so that no early
// return leaks a tree; the accessors take any node, even a null one, and answer "nothing".
namespace PropertyList {
struct NodeFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using Node = std::unique_ptr<std::remove_pointer_t<plist_t>, NodeFree>;

// The root of XML or binary property-list bytes; null when they hold none.
Node rootFromBytes(const QByteArray& data);

// The root dictionary's entries: texts, integers, reals and booleans become QVariants, other
// values are left out. Nothing when the bytes hold no property list or its root is no dictionary.
std::optional<QVariantMap> dictionaryFromBytes(const QByteArray& data);
// The map as an XML property list: integers, booleans and reals keep their type, every other
// value is written as its text. Empty when libplist could not encode it.
QByteArray xmlFromDictionary(const QVariantMap& dictionary);

// The value under key when node is a dictionary, else null.
plist_t item(plist_t node, const char* key);
// The entry at index when node is an array holding one, else null.
plist_t arrayItem(plist_t node, uint32_t index);
// A missing or non-array node counts as an empty array.
uint32_t arraySize(plist_t node);
// Integers are kept as 64 bits without sign; a negative one comes back through the cast.
// Anything that is not an integer gives nothing.
std::optional<qint64> integerValue(plist_t node);
} // namespace PropertyList
