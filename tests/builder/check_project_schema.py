#!/usr/bin/python3
"""The project file's JSON Schema against what is written about the project file: every
example project, every TOML example in the README and docs/, and every key the reference
(docs/project-format.md) documents, with the keys it names inside inline tables.

    check_project_schema.py SCHEMA SOURCE_DIR
"""
import datetime
import json
import pathlib
import re
import sys
import tomllib

import jsonschema


def as_json(value):
    """TOML values as an editor's TOML support gives them to a JSON Schema: dates as text."""
    if isinstance(value, dict):
        return {k: as_json(v) for k, v in value.items()}
    if isinstance(value, list):
        return [as_json(v) for v in value]
    if isinstance(value, (datetime.date, datetime.time)):
        return value.isoformat()
    return value


def resolve(schema, path):
    """The schema of a key path (a list of names); None when the schema has no such key."""
    node = schema
    for name in path:
        while "allOf" in node:
            node = node["allOf"][0]
        if node.get("type") == "array" and "items" in node:
            node = node["items"]
        properties = node.get("properties")
        if properties is None or name not in properties:
            return None
        node = properties[name]
    while "allOf" in node:
        node = node["allOf"][0]
    return node


def documented_keys(reference):
    """(path, line number) of every key in the reference's key tables, and of the keys named in
    `{ a, b }` inside them."""
    section = None
    for number, line in enumerate(reference.read_text(encoding="utf-8").splitlines(), 1):
        heading = re.match(r"^## (.*)$", line)
        if heading:
            title = heading.group(1)
            table = re.fullmatch(r"\[\[?([a-z_]+)\]?\]", title)
            section = [table.group(1)] if table else ([] if title == "Languages and texts" else None)
            continue
        if section is None or not line.startswith("| `"):
            continue
        cells = line.split("|")
        keys = re.findall(r"`([a-z_0-9]+)`", cells[1])
        if not keys or re.sub(r"[`, ]|[a-z_0-9]", "", cells[1]):
            continue  # a table of values or patterns, not of keys
        for key in keys:
            yield section + [key], number
            for inner in re.findall(r"\{ ([a-z_0-9, ]+) \}", "|".join(cells[2:])):
                for name in inner.split(", "):
                    yield section + [key, name], number


def main():
    schema = json.loads(pathlib.Path(sys.argv[1]).read_text(encoding="utf-8"))
    source = pathlib.Path(sys.argv[2])
    jsonschema.Draft7Validator.check_schema(schema)
    validator = jsonschema.Draft7Validator(schema)
    passed = failed = 0

    def check(ok, what):
        nonlocal passed, failed
        if ok:
            passed += 1
        else:
            failed += 1
            print("FAILED:", what)

    projects = sorted((source / "examples").rglob("*.toml"))
    check(projects, "no example projects found")
    for project in projects:
        document = as_json(tomllib.loads(project.read_text(encoding="utf-8")))
        errors = [e.message for e in validator.iter_errors(document)]
        check(not errors, f"{project}: {errors}")

    for text in [source / "README.md", *sorted((source / "docs").glob("*.md"))]:
        for block in re.findall(r"```toml\n(.*?)```", text.read_text(encoding="utf-8"), re.S):
            document = as_json(tomllib.loads(block))
            if "language" in document:
                continue  # a language file, not a project
            errors = [e.message for e in validator.iter_errors(document)]
            check(not errors, f"{text}: {errors} in\n{block}")

    keys = list(documented_keys(source / "docs" / "project-format.md"))
    check(len(keys) > 100, f"only {len(keys)} documented keys found")
    for path, line in keys:
        check(resolve(schema, path) is not None, f"docs/project-format.md:{line}: {'.'.join(path)} is not in the schema")

    # The schema refuses what the reader refuses: an unknown key, a wrong type, a bad name.
    for bad in ({"product": {"nmae": "x"}}, {"product": {"name": 1}}, {"file": [{"source": "a", "kind": "apps"}]},
                {"options": {"compress_files": "yes"}}, {"wizard": {"title_color": "red"}}):
        check(not validator.is_valid(bad), f"accepted {bad}")

    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
