#pragma once
// The "Tag" of a control, menu item or timer: a number the program's handlers key on (a register,
// a group, an armed flag). Kept as a dynamic property so tests can read it like any widget state.
#include <QObject>
#include <QVariant>

namespace tag {
inline constexpr const char* Property = "Tag";
inline int of(const QObject* object) {
    return object ? object->property(Property).toInt() : 0;
}
inline void set(QObject* object, int value) {
    object->setProperty(Property, value);
}
} // namespace tag
