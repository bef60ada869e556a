// The JSON Schema of the project file (for editors' completion and checking), made from the
// keys the project reader itself takes (ProjectKeys) and the named options' table, so that
// it follows the reader: `corvantis-build schema` prints it, docs/corvantis-project.schema.json
// is its copy.
#pragma once

#include <string>

namespace cs {

std::string ProjectSchemaJson();

} // namespace cs
