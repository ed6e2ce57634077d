#!/usr/bin/env python3
"""The zip a Windows user downloads, and its unpacking for the tests.

  dist_zip.py pack --exe Quillet.exe --lang DIR --help-dir DIR --license LICENSE
                   --notices NOTICES --out ZIP
      writes ZIP holding Quillet.exe, lang/*.ini, help/*, license.txt and
      THIRD-PARTY-NOTICES.txt side by side (the two texts with Windows line
      ends, so that every Notepad shows their lines);
  dist_zip.py unpack [--over] ZIP DIR
      empties DIR (with --over: keeps what else it holds) and unpacks ZIP
      into it after checking every member's CRC.
"""
import argparse
import os
import shutil
import sys
import time
import zipfile


def zip_date(path):
    """The zip date of the file: its modification time."""
    stamp = time.localtime(os.stat(path).st_mtime)
    # Zip dates start in 1980.
    date = max(stamp[:6], (1980, 1, 1, 0, 0, 0))
    return date


def add_file(zf, path, name):
    info = zipfile.ZipInfo(name, date_time=zip_date(path))
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    with open(path, "rb") as f:
        zf.writestr(info, f.read())


def add_text(zf, text, name, like):
    info = zipfile.ZipInfo(name, date_time=zip_date(like))
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    zf.writestr(info, text)


def windows_lines(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def pack(args):
    langs = sorted(n for n in os.listdir(args.lang) if n.endswith(".ini"))
    pages = sorted(n for n in os.listdir(args.help) if os.path.isfile(os.path.join(args.help, n)))
    if not langs or not pages:
        sys.exit("dist_zip: no language files or no help pages")
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    partial = args.out + ".part"
    with zipfile.ZipFile(partial, "w", compresslevel=9) as zf:
        add_file(zf, args.exe, "Quillet.exe")
        for n in langs:
            add_file(zf, os.path.join(args.lang, n), "lang/" + n)
        for n in pages:
            add_file(zf, os.path.join(args.help, n), "help/" + n)
        for path, name in ((args.license, "license.txt"), (args.notices, "THIRD-PARTY-NOTICES.txt")):
            with open(path, "rb") as f:
                add_text(zf, windows_lines(f.read()), name, path)
    # A zip that is there is whole.
    os.replace(partial, args.out)
    with zipfile.ZipFile(args.out) as zf:
        for i in zf.infolist():
            print(f"{i.file_size:>10}  {i.compress_size:>10}  {i.filename}")
    print(f"dist: {args.out} ({os.path.getsize(args.out)} bytes)")


def unpack(args):
    if os.path.isdir(args.dir) and not args.over:
        shutil.rmtree(args.dir)
    os.makedirs(args.dir, exist_ok=True)
    with zipfile.ZipFile(args.zip) as zf:
        bad = zf.testzip()
        if bad is not None:
            sys.exit(f"dist_zip: {bad} is damaged in {args.zip}")
        for name in zf.namelist():
            # Only plain relative names: nothing is written outside the folder.
            if name.startswith(("/", "\\")) or ".." in name.replace("\\", "/").split("/"):
                sys.exit(f"dist_zip: unsafe member name {name!r}")
        zf.extractall(args.dir)
    print(f"unpacked {args.zip} into {args.dir}")


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("pack")
    p.add_argument("--exe", required=True)
    p.add_argument("--lang", required=True)
    p.add_argument("--help-dir", dest="help", required=True)
    p.add_argument("--license", required=True)
    p.add_argument("--notices", required=True)
    p.add_argument("--out", required=True)
    u = sub.add_parser("unpack")
    u.add_argument("--over", action="store_true")
    u.add_argument("zip")
    u.add_argument("dir")
    args = parser.parse_args()
    pack(args) if args.command == "pack" else unpack(args)


if __name__ == "__main__":
    main()
