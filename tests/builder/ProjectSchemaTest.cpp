// The project file's schema comes from the reader's own keys: the committed copy is what the
// builder prints, and the reader's keys land where the project file has them.
#include "builder/ProjectSchema.h"
#include "builder/Project.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

using namespace cs;

#ifdef CORVANTIS_SOURCE_DIR
// After a change of the reader: build/host/bin/corvantis-build schema > docs/corvantis-project.schema.json
TEST(ProjectSchema, TheCommittedCopyIsTheBuildersOutput) {
    std::ifstream in(std::string(CORVANTIS_SOURCE_DIR) + "/docs/corvantis-project.schema.json",
                     std::ios::binary);
    std::string committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(committed, ProjectSchemaJson());
}
#endif

// Keys of every shape the reader takes: a plain table, an inline table inside one, an entry
// of a list of tables (also nested), the named options, a key read two ways.
TEST(ProjectSchema, TheReaderNamesItsKeys) {
    std::multimap<std::string, std::string> keys;
    for (const auto& [path, schema] : ProjectKeys())
        keys.emplace(path, schema);
    struct Case {
        const char* path;
        size_t ways;
        const char* part; // a piece of the (first) schema
    } cases[] = {
        {"product.name", 1, "\"string\""},
        {"install.master.min_version", 1, "\"string\""},
        {"wizard.bitmap_size", 1, "\"maximum\": 100"},
        {"wizard.title_color", 1, "system:"},
        {"file[].source", 1, "\"string\""},
        {"file[].kind", 1, "\"control-panel\""},
        {"file[].attributes", 2, "\"minimum\": -1"},
        {"folder[].include", 1, "\"array\""},
        {"registry.entries[].action", 1, "\"write-if-missing\""},
        {"uninstall.values[].kind", 1, "\"expandable-text\""},
        {"options.compress_files", 1, "\"boolean\""},
        {"options.engine", 1, "\"x64\""},
        {"texts", 1, "patternProperties"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keys.count(c.path), c.ways) << c.path;
        auto found = keys.find(c.path);
        if (found != keys.end()) {
            EXPECT_NE(found->second.find(c.part), std::string::npos) << c.path << ": " << found->second;
        }
    }
}
