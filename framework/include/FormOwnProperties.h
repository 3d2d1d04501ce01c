// The values of a form's own published properties (never those of the
// components it holds), read from the form, written as a stored form
// description, and applied back as one step that either takes whole or
// leaves the form as it was. A control keeps its state this way in the
// streams, storages and property bags its host gives it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "ActiveForm.h"
#include "FormReader.h"

// How a property's value is kept; the kind fixes what a stored value may be.
enum class TOwnPropertyKind { Integer, Boolean, Text, Enumeration, Color, Set };

struct TOwnProperty {
  const char* Name;  // as a description spells it ("Font.Name")
  TOwnPropertyKind Kind;
  std::vector<const char*> Names;  // the identifiers of an enumeration or set, in order
};

// The properties kept, in the order they are written.
const std::vector<TOwnProperty>& FormOwnProperties();

// The form's present values, one per kept property, in the kept order.
std::vector<TFormProperty> ReadFormOwnProperties(const TActiveForm& form);

// "object <name>: <className>", the properties, "end", as the reader reads it.
std::string DescribeFormOwnProperties(const TActiveForm& form, const std::string& className);

// Applies a node holding the form's own properties only: it must be of
// className (compared without regard to ASCII case), hold no objects, and name
// kept properties only (anything else, a handler binding among them, is
// refused). The stored name is not taken over. Raises EReadError naming the
// line, with the form as it was before the call.
void ApplyFormOwnProperties(TActiveForm& form, const std::string& className, const TFormNode& node);
