#!/usr/bin/env python3
"""Python's plistlib as an independent reader and writer of binary property lists, for the archive tests.

Serves one JSON request a line on stdin and answers each with one JSON line on stdout:
  {"command": "write", "value": V, "options": [...]}  ->  {"file": base64 of the binary plist}
  {"command": "describe", "file": base64}             ->  {"value": V}
and {"error": text} when plistlib refuses. Property-list values V are JSON: strings, integers and
booleans as themselves, dictionaries and arrays as objects and arrays, {"$date": microseconds since
2001-01-01} for dates, {"$data": base64} for data and {"$real": number} for reals read back.
Write options:
  --reverse-keys   dictionary keys in reverse order instead of sorted
  --share          equal arrays and dictionaries become one shared object
  --wide           8-byte object references and offsets
"""
import base64
import datetime
import json
import plistlib
import sys

EPOCH = datetime.datetime(2001, 1, 1)
MICROSECOND = datetime.timedelta(microseconds=1)


def to_plist(value, options, shared):
    if isinstance(value, dict):
        if list(value) == ["$date"]:
            return EPOCH + value["$date"] * MICROSECOND
        if list(value) == ["$data"]:
            return base64.b64decode(value["$data"])
        keys = sorted(value, reverse="--reverse-keys" in options)
        result = {key: to_plist(value[key], options, shared) for key in keys}
    elif isinstance(value, list):
        result = [to_plist(element, options, shared) for element in value]
    else:
        return value
    if "--share" in options:
        # plistlib writes one object for one Python object, however often it is referred to.
        return shared.setdefault(json.dumps(value, sort_keys=True), result)
    return result


def to_json(value):
    if isinstance(value, datetime.datetime):
        return {"$date": (value - EPOCH) // MICROSECOND}
    if isinstance(value, bytes):
        return {"$data": base64.b64encode(value).decode("ascii")}
    if isinstance(value, dict):
        return {key: to_json(element) for key, element in value.items()}
    if isinstance(value, list):
        return [to_json(element) for element in value]
    if isinstance(value, float):
        return {"$real": value}
    return value


def write(value, options):
    count_to_size = plistlib._count_to_size
    if "--wide" in options:
        plistlib._count_to_size = lambda count: 8
    try:
        value = to_plist(value, options, {})
        return plistlib.dumps(value, fmt=plistlib.FMT_BINARY, sort_keys="--reverse-keys" not in options)
    finally:
        plistlib._count_to_size = count_to_size


def answer(request):
    if request["command"] == "write":
        file = write(request["value"], request.get("options", []))
        return {"file": base64.b64encode(file).decode("ascii")}
    value = plistlib.loads(base64.b64decode(request["file"]), fmt=plistlib.FMT_BINARY)
    return {"value": to_json(value)}


def main():
    for line in sys.stdin:
        try:
            reply = answer(json.loads(line))
        except Exception as error:  # the test reports whatever plistlib refused
            reply = {"error": f"{type(error).__name__}: {error}"}
        print(json.dumps(reply, sort_keys=True), flush=True)


if __name__ == "__main__":
    main()
