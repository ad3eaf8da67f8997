#!/usr/bin/env python3
"""Crashes `zymwin.exe dump crash` under Wine and reads what it left with a
reader of its own: the report's text, and the minidump's public MINIDUMP
layout (header, stream directory, thread, module and exception streams).

Usage: crash_minidump.py WINE_RUN PREFIX ZYMWIN_EXE
"""

import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

WINE_RUN, PREFIX, ZYMWIN = sys.argv[1:4]

ACCESS_VIOLATION = 0xC0000005
THREAD_LIST, MODULE_LIST, EXCEPTION = 3, 4, 6
# Offsets in an x86-64 CONTEXT.
CONTEXT_RSP, CONTEXT_RIP = 0x98, 0xF8


class Minidump:
    def __init__(self, data):
        self.data = data
        signature, version, count, directory = struct.unpack_from("<4sIII", data, 0)
        if signature != b"MDMP" or version & 0xFFFF != 0xA793:
            raise ValueError("not a minidump")
        self.streams = {}
        for i in range(count):
            kind, size, rva = struct.unpack_from("<III", data, directory + 12 * i)
            self.streams[kind] = (rva, size)

    def threads(self):
        rva, _ = self.streams[THREAD_LIST]
        (count,) = struct.unpack_from("<I", self.data, rva)
        for i in range(count):
            entry = rva + 4 + 48 * i
            (thread_id,) = struct.unpack_from("<I", self.data, entry)
            start, size, memory_rva = struct.unpack_from("<QII", self.data, entry + 24)
            yield thread_id, start, size, memory_rva

    def modules(self):
        rva, _ = self.streams[MODULE_LIST]
        (count,) = struct.unpack_from("<I", self.data, rva)
        for i in range(count):
            entry = rva + 4 + 108 * i
            base, size, _, _, name_rva = struct.unpack_from("<QIIII", self.data, entry)
            (length,) = struct.unpack_from("<I", self.data, name_rva)
            name = self.data[name_rva + 4:name_rva + 4 + length].decode("utf-16-le")
            yield name, base, size

    def exception(self):
        rva, _ = self.streams[EXCEPTION]
        thread_id, code = struct.unpack_from("<I4xI", self.data, rva)
        _, context_rva = struct.unpack_from("<II", self.data, rva + 8 + 152)
        rsp, = struct.unpack_from("<Q", self.data, context_rva + CONTEXT_RSP)
        rip, = struct.unpack_from("<Q", self.data, context_rva + CONTEXT_RIP)
        return thread_id, code, rsp, rip

    def read(self, address, size):
        """Bytes of a thread's stack memory; None where the dump has none."""
        for _, start, length, rva in self.threads():
            if start <= address and address + size <= start + length:
                return self.data[rva + address - start:rva + address - start + size]
        return None


def crash(zymwin, folder, *options):
    """Runs `dump crash` to its end; what it printed, and the files it left
    in `folder` by extension."""
    ended = subprocess.run([WINE_RUN, PREFIX, zymwin, "dump", "crash", *options, "--core",
                            "Z:" + folder], capture_output=True, text=True, errors="replace")
    return ended, {os.path.splitext(name)[1]: os.path.join(folder, name)
                   for name in os.listdir(folder)}


class CrashLeavesReportAndMinidump(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="zym-dump-")
        cls.ended, cls.files = crash(ZYMWIN, cls.folder, "--in-thread", "DumpWorker-2")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def test_process_ends_with_the_access_violation_and_names_both_files(self):
        # A Windows exit code reaches Linux as its low byte.
        self.assertEqual(self.ended.returncode, ACCESS_VIOLATION & 0xFF, self.ended.stderr)
        self.assertEqual(sorted(self.files), [".dmp", ".txt"])
        printed = re.findall(r"^(report|core): Z:(.*?)\r?$", self.ended.stderr, re.M)
        self.assertEqual([kind for kind, _ in printed], ["report", "core"], self.ended.stderr)
        for (_, path), extension in zip(printed, [".txt", ".dmp"]):
            self.assertEqual(os.path.normpath(path.replace("\\", "/")),
                             os.path.normpath(self.files[extension]))

    def test_report_marks_the_crashed_worker_with_the_crash_site_on_top(self):
        with open(self.files[".txt"], "rb") as file:
            text = file.read()
        self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), "every line ends in CR LF")
        lines = text.decode().split("\r\n")
        marked = [i for i, line in enumerate(lines) if line.endswith(" <--- ERROR OCCURED IN THIS THREAD")]
        self.assertEqual(len(marked), 1)
        self.assertRegex(lines[marked[0]], r"^Thread 0x[0-9A-F]+: DumpWorker-2 <--- ")
        self.assertRegex(lines[marked[0] + 1],
                         r"^\t(zymwin::)?CrashHereOnPurpose(\(\))? \[0x[0-9A-F]+ EIP:0x[0-9A-F]+\] in 'zymwin.exe'$")
        self.assertRegex(lines[marked[0] + 2], r"^\t\t.*DumpCrash\.cpp \[Line \d+\]$")
        names = [line for line in lines if line.startswith("Thread 0x")]
        self.assertEqual(len(names), 3, names)
        # The other threads, walked from their registers as they wait.
        for name, function in [("DumpWorker-1", "Worker::Run"), ("", "CrashWithWorkers")]:
            section = re.search(r"^Thread 0x[0-9A-F]+: " + name + r"\r\n((\t.*\r\n)*)",
                                text.decode(), re.M)
            self.assertRegex(section.group(1), r"\t(zymwin::)?" + function + r"(\(\))? \[")

    def test_minidump_holds_the_crashed_threads_stack(self):
        with open(self.files[".txt"], "rb") as file:
            marked = re.search(rb"^Thread 0x([0-9A-F]+): DumpWorker-2 <---", file.read(), re.M)
        with open(self.files[".dmp"], "rb") as file:
            dump = Minidump(file.read())
        thread_id, code, rsp, rip = dump.exception()
        self.assertEqual(code, ACCESS_VIOLATION)
        self.assertEqual(thread_id, int(marked.group(1), 16))
        self.assertIn(thread_id, [thread for thread, _, _, _ in dump.threads()])
        (base, size), = [(base, size) for name, base, size in dump.modules()
                         if name.lower().endswith("\\zymwin.exe")]
        self.assertTrue(base <= rip < base + size, "the crash is in zymwin.exe")
        # The crashed function's caller is in zymwin.exe too: its return
        # address is among the first words of the stack.
        stack = dump.read(rsp, 256)
        self.assertIsNotNone(stack, "the stack at the crash is in the dump")
        words = struct.unpack("<32Q", stack)
        self.assertTrue(any(base <= word < base + size for word in words))


class CrashWithoutMinidumpWriter(unittest.TestCase):
    """zymwin.exe and its DLLs in a folder of their own, without
    NewDbgHelp.dll."""

    def test_report_is_written_and_the_minidump_left_empty_and_unnamed(self):
        with tempfile.TemporaryDirectory(prefix="zym-dump-") as folder:
            programs = os.path.join(folder, "bin")
            os.mkdir(programs)
            for file in glob.glob(os.path.join(os.path.dirname(ZYMWIN), "*.dll")) + [ZYMWIN]:
                if os.path.basename(file).lower() != "newdbghelp.dll":
                    shutil.copy(file, programs)
            dumps = os.path.join(folder, "dumps")
            os.mkdir(dumps)
            ended, files = crash(os.path.join(programs, os.path.basename(ZYMWIN)), dumps)
            self.assertEqual(ended.returncode, ACCESS_VIOLATION & 0xFF, ended.stderr)
            self.assertIn("report: ", ended.stderr)
            self.assertNotIn("core: ", ended.stderr)
            self.assertEqual(sorted(files), [".dmp", ".txt"])
            self.assertEqual(os.path.getsize(files[".dmp"]), 0)
            self.assertGreater(os.path.getsize(files[".txt"]), 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
