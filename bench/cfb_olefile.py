#!/usr/bin/python3
"""The work of bench_cfb done with python3-olefile, as a user would script it.

  cfb_olefile.py read FILE     list every stream and read it whole
  cfb_olefile.py props FILE... read the summary properties of each file
"""
import sys

import olefile


def read(path):
    ole = olefile.OleFileIO(path)
    streams = total = 0
    for name in ole.listdir(streams=True, storages=False):
        total += len(ole.openstream(name).read())
        streams += 1
    print(streams, total)


def props(paths):
    found = 0
    for path in paths:
        ole = olefile.OleFileIO(path)
        meta = ole.get_metadata()
        found += sum(
            1 for name in meta.SUMMARY_ATTRIBS + meta.DOCSUM_ATTRIBS if getattr(meta, name) is not None
        )
        ole.close()
    print(found)


if __name__ == "__main__":
    if sys.argv[1] == "read":
        read(sys.argv[2])
    else:
        props(sys.argv[2:])
