#!/usr/bin/python3
"""Validates the manifests in a folder against the schemas beside this script.

Usage: validate-manifest.py FOLDER. Each *.yaml file is matched to its schema by its
ManifestType (version, defaultLocale, installer); all three must be present, and they must
agree on PackageIdentifier and PackageVersion. Prints one line per file and exits 1 on any
problem."""
import json
import pathlib
import sys

import jsonschema
import yaml

here = pathlib.Path(__file__).resolve().parent / "schemas"
folder = pathlib.Path(sys.argv[1])
seen = {}
problems = 0
for path in sorted(folder.glob("*.yaml")):
    # The package manager reads the YAML 1.2 core schema, where a bare 1.0 is a number; our
    # writer quotes every text, so the default loader reads what winget reads.
    document = yaml.safe_load(path.read_text(encoding="utf-8"))
    kind = document.get("ManifestType")
    schema = json.loads((here / f"manifest.{kind}.1.10.0.json").read_text(encoding="utf-8"))
    errors = sorted(jsonschema.Draft7Validator(schema).iter_errors(document), key=lambda e: list(e.path))
    for error in errors:
        print(f"{path.name}: {'/'.join(map(str, error.path))}: {error.message}")
    problems += len(errors)
    print(f"{path.name}: {kind}: {'valid' if not errors else 'INVALID'}")
    seen[kind] = document
for kind in ("version", "defaultLocale", "installer"):
    if kind not in seen:
        print(f"missing: the {kind} manifest")
        problems += 1
identities = {(d.get("PackageIdentifier"), d.get("PackageVersion")) for d in seen.values()}
if len(identities) != 1:
    print(f"the manifests disagree on identifier and version: {identities}")
    problems += 1
sys.exit(1 if problems else 0)
