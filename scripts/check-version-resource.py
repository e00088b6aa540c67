#!/usr/bin/env python3
"""Reads the version resource (VS_VERSION_INFO) of Windows modules and checks
it against the project's version.

    check-version-resource.py <version> <module.dll|.exe>...

Each module must carry FILEVERSION and PRODUCTVERSION <version>.0, the
strings FileVersion and ProductVersion <version>, ProductName "Keystead",
OriginalFilename its own file name, and a CompanyName, FileDescription and
InternalName. Reads the PE file with pefile: no Windows tool is needed. Run
it with Debian's own interpreter (/usr/bin/python3), for which Debian's
python3-pefile installs.
"""

import os
import sys

import pefile

FIXED_SIGNATURE = 0xFEEF04BD


def read_version(path):
    """The fixed versions as dotted texts and the string table."""
    try:
        pe = pefile.PE(path, fast_load=True)
    except pefile.PEFormatError as error:
        raise ValueError("not a PE file") from error
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        raise ValueError("no resource directory")
    if not hasattr(pe, "VS_VERSIONINFO"):
        raise ValueError("no version resource")
    key = pe.VS_VERSIONINFO[0].Key.decode("utf-8", "replace")
    if key != "VS_VERSION_INFO":
        raise ValueError("the version resource starts with " + key)
    fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
    if fixed is None or fixed.Signature != FIXED_SIGNATURE:
        raise ValueError("no VS_FIXEDFILEINFO")

    def dotted(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for info in pe.FileInfo[0] if hasattr(pe, "FileInfo") else []:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({name.decode(): value.decode()
                                for name, value in table.entries.items()})
    return (dotted(fixed.FileVersionMS, fixed.FileVersionLS),
            dotted(fixed.ProductVersionMS, fixed.ProductVersionLS), strings)


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
        except (OSError, ValueError, UnicodeDecodeError) as error:
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
