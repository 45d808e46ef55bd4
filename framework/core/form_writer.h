#pragma once
// Writes a live root component back as form text in the canonical format: two-space
// indents, properties in table order (base classes first) as IsStoredProp decides, nested
// objects as dotted lines, children where GetChildren places them (each owned by the root
// or by the object that places it), events by the handler name they were bound with,
// strings as printable ASCII ('' for a quote, #nnn for the rest). Reading the result
// gives the same tree, and writing that gives the same text.
// EFormError when the root cannot be written faithfully: an event set in code (no handler
// name), a reference outside the form, a component that no object places.
#include <string>

class TComponent;

std::string WriteFormText(TComponent& root);
