#!/usr/bin/env python3
"""Validates every line of a JSON-lines file against a JSON Schema.

    validate_json_lines.py SCHEMA FILE

Prints each invalid line with its number and what is wrong; exits 1 when
any line is invalid (or no line is there), 0 otherwise.
"""
import json
import sys

import jsonschema


def main() -> int:
    schema_path, lines_path = sys.argv[1], sys.argv[2]
    with open(schema_path, encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)
    checked = 0
    failures = 0
    with open(lines_path, encoding="utf-8") as lines:
        for number, text in enumerate(lines, start=1):
            if not text.strip():
                continue
            checked += 1
            for error in validator.iter_errors(json.loads(text)):
                failures += 1
                print(f"{lines_path}:{number}: {error.message} at {list(error.absolute_path)}")
    if checked == 0:
        print(f"{lines_path}: no line to check")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
