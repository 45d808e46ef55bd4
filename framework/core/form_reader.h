#pragma once
// Form text: the description of a form (or any root component) from which ReadForm builds
// its components. Parsing makes a tree with line numbers; applying it to the existing root
// then creates each nested object in text order (owner: the root; parent: the enclosing
// object, through AdoptChild), sets properties in text order while the components load,
// resolves component references and binds events by handler name after the whole text,
// binds the root's fields, and calls Loaded() and then FormLoaded() on every component in
// creation order, root first. The root takes the name in the text, with "_1", "_2" ...
// added when its owner already has a component of that name. Any error throws EFormError
// "source(line): message" and frees every component the reader made, so a form never
// loads half-way.
#include <string>
#include <utility>
#include <vector>

class TComponent;

void ReadForm(TComponent& root, const std::string& text, const std::string& sourceName);

// The outline of a form text without building anything: each object's name, class and
// properties in text order (dotted paths; a collection's item i as "Path[i].Name"), each
// value as text (numbers in decimal, strings unquoted, sets "[a,b]", lists "(a b)",
// binary data in hex). Errors as ReadForm's.

struct TFormOutline {
  std::string Name, ClassName;
  std::vector<std::pair<std::string, std::string>> Properties;
  std::vector<TFormOutline> Children;
  // The value of a property path; empty when the text does not set it.
  std::string Value(const std::string& path) const;
};
TFormOutline ReadFormOutline(const std::string& text, const std::string& sourceName);
