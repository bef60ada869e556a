#include "builder/ProjectSchema.h"

#include "builder/Json.h"
#include "builder/Project.h"
#include "builder/ProjectOptions.h"

#include <map>
#include <memory>
#include <vector>

namespace cs {

namespace {

// One key of the schema's tree: its own schema, and for a table or a list of tables the keys
// inside, in the order the reader takes them.
struct Node {
    std::vector<std::string> schemas; // one per way the reader reads the key
    bool list = false;                // a list of tables: the keys are its entries'
    std::vector<std::pair<std::string, std::unique_ptr<Node>>> keys;
    std::string description;

    Node& Child(const std::string& name) {
        for (auto& [key, node] : keys)
            if (key == name) return *node;
        keys.emplace_back(name, std::make_unique<Node>());
        return *keys.back().second;
    }
};

std::string Indent(int depth) {
    return std::string(2 * size_t(depth), ' ');
}

std::string Emit(const Node& node, int depth);

std::string Properties(const Node& node, int depth) {
    std::string out = "{\n" + Indent(depth + 1) + "\"type\": \"object\",\n" + Indent(depth + 1) +
                      "\"additionalProperties\": false,\n" + Indent(depth + 1) + "\"properties\": {";
    bool first = true;
    for (const auto& [key, child] : node.keys) {
        out += std::string(first ? "" : ",") + "\n" + Indent(depth + 2) + JsonWriter::Quote(key) + ": " +
               Emit(*child, depth + 2);
        first = false;
    }
    return out + "\n" + Indent(depth + 1) + "}\n" + Indent(depth) + "}";
}

std::string Emit(const Node& node, int depth) {
    std::string own;
    if (node.keys.empty()) {
        own = node.schemas.size() == 1 ? node.schemas[0] : "{\"anyOf\": [";
        if (node.schemas.size() > 1) {
            for (size_t i = 0; i < node.schemas.size(); ++i)
                own += (i ? ", " : "") + node.schemas[i];
            own += "]}";
        }
    } else if (node.list) {
        own = "{\n" + Indent(depth + 1) + "\"type\": \"array\",\n" + Indent(depth + 1) +
              "\"items\": " + Properties(node, depth + 1) + "\n" + Indent(depth) + "}";
    } else {
        own = Properties(node, depth);
    }
    if (node.description.empty()) return own;
    return "{\"description\": " + JsonWriter::Quote(node.description) + ", \"allOf\": [" + own + "]}";
}

} // namespace

std::string ProjectSchemaJson() {
    Node root;
    for (const auto& [path, schema] : ProjectKeys()) {
        Node* node = &root;
        for (size_t start = 0; start <= path.size();) {
            size_t end = std::min(path.find('.', start), path.size());
            std::string part = path.substr(start, end - start);
            bool list = part.size() > 2 && part.ends_with("[]");
            node = &node->Child(list ? part.substr(0, part.size() - 2) : part);
            node->list |= list;
            start = end + 1;
        }
        node->schemas.push_back(schema);
    }
    // The named options' meanings and defaults, from their table.
    Node& options = root.Child("options");
    for (const NamedOption* o = kNamedOptions; o->name; ++o)
        options.Child(o->name).description =
            std::string(o->meaning) + " (default: " + (o->byDefault ? "true" : "false") + ")";
    std::string body = Properties(root, 0);
    return "{\n  \"$schema\": \"http://json-schema.org/draft-07/schema#\",\n  \"title\": \"Corvantis Setup "
           "project file\",\n  \"description\": \"The TOML project file of corvantis-build "
           "(docs/project-format.md)\"," +
           body.substr(1) + "\n";
}

} // namespace cs
