#pragma once

#include "framework/ClassRegistry.h"

#include <string_view>

namespace tolvar {

// Builds root from a stored description (XML, see app/TForm1.xml for the format):
// <object class="..." name="..."> holds <property name="...">text</property>,
// <property name="..." ref="OtherObject"/>, <property name="..."><item>..</item></property>,
// <event name="..." handler="..."/> and nested <object> elements, in stored order.
//
// Objects are created in stored order, owned by root and parented to their enclosing object;
// properties are applied as read; references are resolved once everything has been read;
// then every object's Loaded runs, root first. Unknown classes, properties, references and
// handlers raise EReadError; a failing property raises "Error reading <object>.<property>: ..".
// root must be of rootClass, the class of the outermost element.
void ReadDescription(std::string_view data, TComponent& root, const std::string& rootClass,
                     const TClassRegistry& registry, const THandlerTable& handlers);

} // namespace tolvar
