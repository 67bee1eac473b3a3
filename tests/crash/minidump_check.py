#!/usr/bin/env python3
"""Reads a minidump file on its own, from the published minidump layout
(MINIDUMP_HEADER, MINIDUMP_DIRECTORY and the thread list, module list,
memory list, exception and system information streams with an AMD64
CONTEXT), checks that it hangs together and prints what it found as JSON.

Exit code 0 with the summary on standard output, 1 with the reason on
standard error when the file is not a readable minidump.

    minidump_check.py FILE
"""
import json
import struct
import sys

THREAD_LIST, MODULE_LIST, MEMORY_LIST, EXCEPTION, SYSTEM_INFO = 3, 4, 5, 6, 7
CONTEXT_AMD64 = 0x00100000
CONTEXT_AMD64_SIZE = 1232
RIP_OFFSET, RSP_OFFSET = 0xF8, 0x98


class BadDump(Exception):
    pass


class Dump:
    def __init__(self, data):
        self.data = data

    def read(self, fmt, offset):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise BadDump("record at %d (%d bytes) lies outside the file" % (offset, size))
        return struct.unpack_from(fmt, self.data, offset)

    def block(self, size, rva):
        if rva + size > len(self.data):
            raise BadDump("block at %d (%d bytes) lies outside the file" % (rva, size))
        return self.data[rva:rva + size]

    def string(self, rva):
        (length,) = self.read("<I", rva)
        if length % 2:
            raise BadDump("string at %d has an odd length" % rva)
        text = self.block(length + 2, rva + 4)
        if text[-2:] != b"\0\0":
            raise BadDump("string at %d is not terminated" % rva)
        return text[:-2].decode("utf-16-le")


def read_streams(dump):
    signature, version, count, directory, _checksum, stamp, flags = dump.read("<IIIIIIQ", 0)
    if signature != 0x504D444D:
        raise BadDump("no MDMP signature")
    if version & 0xFFFF != 0xA793:
        raise BadDump("version %#x is not a minidump version" % version)
    streams = {}
    for i in range(count):
        kind, size, rva = dump.read("<III", directory + 12 * i)
        dump.block(size, rva)
        streams[kind] = (size, rva)
    return streams, {"timestamp": stamp, "flags": flags}


def read_system(dump, location):
    size, rva = location
    if size < 56:
        raise BadDump("system information is %d bytes" % size)
    (arch, level, revision, processors, product, major, minor, build, platform,
     csd_rva) = dump.read("<HHHBBIIIII", rva)
    return {"architecture": arch, "processorLevel": level, "processors": processors,
            "productType": product, "version": [major, minor, build], "platformId": platform,
            "csdVersion": dump.string(csd_rva)}


def read_context(dump, location):
    size, rva = location
    if size != CONTEXT_AMD64_SIZE:
        raise BadDump("context is %d bytes, an AMD64 CONTEXT has %d" % (size, CONTEXT_AMD64_SIZE))
    (flags,) = dump.read("<I", rva + 0x30)
    if flags & CONTEXT_AMD64 == 0:
        raise BadDump("context flags %#x are not AMD64" % flags)
    (rip,) = dump.read("<Q", rva + RIP_OFFSET)
    (rsp,) = dump.read("<Q", rva + RSP_OFFSET)
    return {"flags": flags, "rip": rip, "rsp": rsp}


def read_exception(dump, location):
    _size, rva = location
    thread_id, _ = dump.read("<II", rva)
    code, flags, _record, address, count = dump.read("<IIQQI", rva + 8)
    if count > 15:
        raise BadDump("%d exception parameters" % count)
    parameters = list(dump.read("<%dQ" % count, rva + 40)) if count else []
    context = dump.read("<II", rva + 160)
    return {"threadId": thread_id, "code": code, "flags": flags, "address": address,
            "parameters": parameters, "context": context}


def read_threads(dump, location):
    _size, rva = location
    (count,) = dump.read("<I", rva)
    threads = []
    for i in range(count):
        at = rva + 4 + 48 * i
        thread_id, _suspend, _priority_class, _priority, teb = dump.read("<IIIIQ", at)
        stack_start, stack_size, stack_rva, context_size, context_rva = dump.read("<QIIII", at + 24)
        dump.block(stack_size, stack_rva)
        context = read_context(dump, (context_size, context_rva))
        threads.append({"id": thread_id, "teb": teb, "stackStart": stack_start,
                        "stackSize": stack_size, "stackRva": stack_rva, "context": context,
                        "contextLocation": (context_size, context_rva)})
    return threads


def read_memory(dump, location):
    _size, rva = location
    (count,) = dump.read("<I", rva)
    ranges = []
    for i in range(count):
        start, size, block_rva = dump.read("<QII", rva + 4 + 16 * i)
        dump.block(size, block_rva)
        ranges.append({"start": start, "size": size})
    return ranges


def read_modules(dump, location):
    size, rva = location
    (count,) = dump.read("<I", rva)
    if 4 + 108 * count > size:
        raise BadDump("module list of %d bytes cannot hold %d modules" % (size, count))
    modules = []
    for i in range(count):
        at = rva + 4 + 108 * i
        base, image_size, _checksum, _stamp, name_rva = dump.read("<QIIII", at)
        modules.append({"base": base, "size": image_size, "name": dump.string(name_rva)})
    return modules


def module_at(modules, address):
    for module in modules:
        if module["base"] <= address < module["base"] + module["size"]:
            return module
    return None


def summarise(data):
    dump = Dump(data)
    streams, header = read_streams(dump)
    for needed, name in ((SYSTEM_INFO, "system information"), (EXCEPTION, "exception"),
                         (THREAD_LIST, "thread list"), (MODULE_LIST, "module list")):
        if needed not in streams:
            raise BadDump("no %s stream" % name)
    exception = read_exception(dump, streams[EXCEPTION])
    threads = read_threads(dump, streams[THREAD_LIST])
    modules = read_modules(dump, streams[MODULE_LIST])
    crashed = [t for t in threads if t["id"] == exception["threadId"]]
    if not crashed:
        raise BadDump("the exception's thread %d is not in the thread list" % exception["threadId"])
    thread = crashed[0]
    if tuple(exception["context"]) != tuple(thread["contextLocation"]):
        raise BadDump("the exception's context is not the thread's")
    rip, rsp = thread["context"]["rip"], thread["context"]["rsp"]
    module = module_at(modules, rip)
    # The stack's words that point into the crashing module: return addresses.
    stack = dump.block(thread["stackSize"], thread["stackRva"])
    words = struct.unpack_from("<%dQ" % (len(stack) // 8), stack)
    into_module = 0
    if module:
        into_module = sum(1 for w in words if module["base"] <= w < module["base"] + module["size"])
    return {
        "header": header,
        "system": read_system(dump, streams[SYSTEM_INFO]),
        "exception": {k: v for k, v in exception.items() if k != "context"},
        "threads": [{"id": t["id"], "rip": t["context"]["rip"], "rsp": t["context"]["rsp"],
                     "stackStart": t["stackStart"], "stackSize": t["stackSize"]}
                    for t in threads],
        "memory": read_memory(dump, streams[MEMORY_LIST]) if MEMORY_LIST in streams else [],
        "modules": modules,
        "crash": {
            "rip": rip,
            "module": module["name"] if module else None,
            "stackHoldsStackPointer":
                thread["stackStart"] <= rsp < thread["stackStart"] + thread["stackSize"],
            "stackWordsIntoModule": into_module,
        },
    }


def main(arguments):
    if len(arguments) != 2:
        sys.stderr.write("usage: minidump_check.py FILE\n")
        return 2
    try:
        with open(arguments[1], "rb") as dump_file:
            summary = summarise(dump_file.read())
    except (OSError, BadDump, UnicodeDecodeError) as error:
        sys.stderr.write("not a readable minidump: %s\n" % error)
        return 1
    json.dump(summary, sys.stdout, indent=1)
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
