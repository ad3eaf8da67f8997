#!/usr/bin/python3
"""Compares what `zymwin cfb` reports of compound files with python3-olefile.

Usage: olefile_compare.py ZYMWIN FILE...

For each file: the listing (paths, directory ids, kinds, sizes), the bytes of
every stream, and the summary properties that both readers understand.
Prints every difference and exits 1 if there is any.
"""
import datetime
import json
import subprocess
import sys

import olefile

failures = []


def fail(path, what):
    failures.append(f"{path}: {what}")


def run(zymwin, *args):
    done = subprocess.run([zymwin, "cfb", *args], capture_output=True, check=False)
    if done.returncode != 0:
        raise RuntimeError(f"zymwin cfb {' '.join(args)}: {done.stderr.decode(errors='replace')}")
    return done.stdout


def escape(name):
    return "".join(
        f"\\x{ord(c):02X}" if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F or c in "\\/" else c
        for c in name
    )


def listing_of(ole):
    entries = {}
    for path in ole.listdir(streams=True, storages=True):
        sid = ole._find(path)
        entry = ole.direntries[sid]
        stream = entry.entry_type == olefile.STGTY_STREAM
        entries[tuple(path)] = (sid, "stream" if stream else "storage", entry.size if stream else 0)
    return entries


def compare_listing(zymwin, path, ole):
    ours = {
        tuple(e["path"]): (e["id"], e["type"], e["size"])
        for e in json.loads(run(zymwin, "ls", "--json", path))
    }
    theirs = listing_of(ole)
    for key in sorted(set(ours) | set(theirs)):
        if ours.get(key) != theirs.get(key):
            fail(path, f"entry {list(key)}: zymwin {ours.get(key)}, olefile {theirs.get(key)}")
    return theirs


def compare_streams(zymwin, path, ole, entries):
    for key, (_, kind, _) in entries.items():
        if kind != "stream":
            continue
        ours = run(zymwin, "cat", path, "/".join(escape(n) for n in key))
        theirs = ole.openstream(list(key)).read()
        if ours != theirs:
            fail(path, f"stream {list(key)}: {len(ours)} bytes differ from olefile's {len(theirs)}")


CODECS = {-535: "utf-8", 65001: "utf-8", 1200: "utf-16-le"}

TEXTS = {
    "Title": "title",
    "Subject": "subject",
    "Author": "author",
    "Keywords": "keywords",
    "Comments": "comments",
    "LastAuthor": "last_saved_by",
    "TemplateDocument": "template",
    "RevisionNumber": "revision_number",
}
DATES = {
    "CreationDate": "create_time",
    "ModificationDate": "last_saved_time",
    "LastPrintedDate": "last_printed",
}


def decode(meta, value):
    if isinstance(value, str) or value is None:
        return value or None
    codepage = meta.codepage if meta.codepage is not None else 1252
    codec = CODECS.get(codepage, f"cp{codepage & 0xFFFF}")
    return value.decode(codec).rstrip("\0") or None


def compare_properties(zymwin, path, ole):
    # The first value of a name is the one that counts.
    listed = json.loads(run(zymwin, "props", "--json", path))
    ours = {prop["name"]: prop["value"] for prop in reversed(listed)}
    meta = ole.get_metadata()
    theirs = {name: decode(meta, getattr(meta, attribute)) for name, attribute in TEXTS.items()}
    for name, attribute in DATES.items():
        when = getattr(meta, attribute)
        # Times before 1970 give no value in the library.
        theirs[name] = when.strftime("%Y-%m-%dT%H:%M:%SZ") if when and when.year >= 1970 else None
    for name, value in theirs.items():
        if ours.get(name) != value:
            fail(path, f"{name}: zymwin {ours.get(name)!r}, olefile {value!r}")


def main():
    zymwin, *paths = sys.argv[1:]
    for path in paths:
        ole = olefile.OleFileIO(path)
        entries = compare_listing(zymwin, path, ole)
        compare_streams(zymwin, path, ole, entries)
        compare_properties(zymwin, path, ole)
        ole.close()
    for line in failures:
        print(line)
    print(f"{len(paths)} files compared, {len(failures)} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
