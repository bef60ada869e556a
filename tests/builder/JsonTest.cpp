// The builder's JSON writer: nesting, commas, empty containers and escapes.
#include "builder/Json.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(JsonWriter, NestingCommasAndEmptyContainers) {
    JsonWriter j;
    j.BeginObject();
    j.Member("a", 1).Member("b", uint64_t{4294967296}).Member("c", true).Member("d", "x");
    j.Key("e").BeginArray().Int(-1).BeginObject().EndObject().BeginArray().EndArray().Null().EndArray();
    j.Key("f").BeginObject().Member("g", false).EndObject();
    j.EndObject();
    EXPECT_EQ(j.Text(), "{\n"
                        "  \"a\": 1,\n"
                        "  \"b\": 4294967296,\n"
                        "  \"c\": true,\n"
                        "  \"d\": \"x\",\n"
                        "  \"e\": [\n"
                        "    -1,\n"
                        "    {},\n"
                        "    [],\n"
                        "    null\n"
                        "  ],\n"
                        "  \"f\": {\n"
                        "    \"g\": false\n"
                        "  }\n"
                        "}\n");
}

TEST(JsonWriter, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(JsonWriter::Quote("a\"b\\c\r\n\t\x01\x1F \xC3\xA9"),
              "\"a\\\"b\\\\c\\r\\n\\t\\u0001\\u001f \xC3\xA9\"");
    EXPECT_EQ(Hex32(0xA4F23DE5), "0xA4F23DE5");
    EXPECT_EQ(Hex32(0), "0x00000000");
}
