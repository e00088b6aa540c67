#!/usr/bin/env python3
"""Reads the version resource (VS_VERSION_INFO) of Windows modules and checks
it against the project's version.

    check-version-resource.py <version> <module.dll|.exe>...

Each module must carry FILEVERSION and PRODUCTVERSION <version>.0, the
strings FileVersion and ProductVersion <version>, ProductName "Keystead",
OriginalFilename its own file name, and a CompanyName, FileDescription and
InternalName. Reads the PE file itself: no Windows tool is needed.
"""

import os
import struct
import sys

RT_VERSION = 16
FIXED_SIGNATURE = 0xFEEF04BD


def resource_section(image):
    """The resource section's bytes from the resource directory on, and its RVA
    (the directory's size covers the directory tables, not the data)."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rva, size = struct.unpack_from("<II", image, directories + 2 * 8)
    if size == 0:
        raise ValueError("no resource directory")
    for index in range(sections):
        header = optional + optional_size + 40 * index
        virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", image, header + 8)
        if address <= rva < address + max(virtual_size, raw_size):
            return image[raw + rva - address:raw + raw_size], rva
    raise ValueError("the resource directory lies in no section")


def directory_entries(resources, offset):
    named, numbered = struct.unpack_from("<HH", resources, offset + 12)
    for index in range(named + numbered):
        name, target = struct.unpack_from("<II", resources, offset + 16 + 8 * index)
        yield name, target


def version_resource(image):
    """The bytes of the first RT_VERSION resource."""
    resources, rva = resource_section(image)
    offset = 0
    for level in ("type", "name", "language"):
        entries = list(directory_entries(resources, offset))
        if level == "type":
            entries = [entry for entry in entries if entry[0] == RT_VERSION]
        if not entries:
            raise ValueError("no version resource")
        target = entries[0][1]
        # Type and name lead to a subdirectory, the language to the data entry.
        if bool(target & 0x80000000) != (level != "language"):
            raise ValueError("a malformed resource directory")
        offset = target & 0x7FFFFFFF
    data_rva, size = struct.unpack_from("<II", resources, offset)
    start = data_rva - rva
    return resources[start:start + size]


def align(offset):
    return (offset + 3) & ~3


def parse_block(data, offset):
    """One version block: (key, value, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    position = align(key_end + 2)
    if kind == 1:  # text, value_length in UTF-16 units
        value = data[position:position + 2 * value_length].decode("utf-16-le").rstrip("\0")
        position += 2 * value_length
    else:
        value = data[position:position + value_length]
        position += value_length
    children = []
    position = align(position)
    while position < end:
        child = parse_block(data, position)
        children.append(child)
        position = align(child[3])
    return key, value, children, end


def read_version(path):
    """The fixed versions as dotted texts and the string table."""
    with open(path, "rb") as handle:
        image = handle.read()
    key, fixed, children, _ = parse_block(version_resource(image), 0)
    if key != "VS_VERSION_INFO":
        raise ValueError("the version resource starts with " + key)
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != FIXED_SIGNATURE:
        raise ValueError("no VS_FIXEDFILEINFO")

    def dotted(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for child in children:
        if child[0] == "StringFileInfo":
            for table in child[2]:
                strings.update({name: value for name, value, _, _ in table[2]})
    return dotted(file_ms, file_ls), dotted(product_ms, product_ls), strings


def problems(path, version):
    file_version, product_version, strings = read_version(path)
    expected = {
        "FileVersion": version,
        "ProductVersion": version,
        "ProductName": "Keystead",
        "OriginalFilename": os.path.basename(path),
    }
    found = []
    if file_version != version + ".0" or product_version != version + ".0":
        found.append("FILEVERSION %s, PRODUCTVERSION %s" % (file_version, product_version))
    for name, value in expected.items():
        if strings.get(name) != value:
            found.append("%s is %r, not %r" % (name, strings.get(name), value))
    for name in ("CompanyName", "FileDescription", "InternalName"):
        if not strings.get(name):
            found.append(name + " is missing")
    return found, strings


def main(arguments):
    if len(arguments) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    version, paths = arguments[0], arguments[1:]
    failed = False
    for path in paths:
        try:
            found, strings = problems(path, version)
        except (OSError, ValueError, struct.error, UnicodeDecodeError) as error:
            found, strings = ["cannot read the version resource: %s" % error], {}
        if found:
            failed = True
            print("%s: %s" % (path, "; ".join(found)))
        else:
            print("%s: %s %s, %s" % (os.path.basename(path), strings["ProductName"],
                                     strings["FileVersion"], strings["FileDescription"]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
