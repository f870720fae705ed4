#!/usr/bin/env python3
"""Validates JSON documents against a JSON Schema (draft 2020-12).

    validate_json.py SCHEMA DOCUMENT...

Checks the schema itself first, then each document. Exit status: 0 every document
validates; 1 a document does not parse or does not validate (each error is printed);
2 the jsonschema module cannot be imported (the test must fail, never pass by default).
"""
import json
import sys


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 1
    try:
        import jsonschema
    except ImportError as error:
        print(f"{sys.executable}: cannot import jsonschema ({error}); install python3-jsonschema "
              "(scripts/install-deps) for this interpreter", file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failed = False
    for path in argv[2:]:
        try:
            with open(path, encoding="utf-8") as f:
                document = json.load(f)
        except (OSError, ValueError) as error:
            print(f"{path}: not one JSON document: {error}")
            failed = True
            continue
        for error in sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path)):
            where = "/".join(str(p) for p in error.absolute_path) or "(document)"
            print(f"{path}: {where}: {error.message}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
