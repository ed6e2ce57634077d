#!/usr/bin/env python3
"""THIRD-PARTY-NOTICES.txt: the software by others inside Quillet.exe, with
the licence texts its terms ask to be passed on with the program.

  third_party_notices.py --out FILE
      [--sqlite-header sqlite3.h --sqlite-package NAME@VERSION]
      [--compiler CXX --mingw-copyright FILE --gcc-copyright FILE --gpl3 FILE]
      [--icon-font-licence FILE]... [--icon-font-package TEXT --apache FILE]

Each part is written only when its sources are given. The licence texts
come from the machine's own copies: SQLite's blessing from the amalgamation
the program is built from, the mingw-w64 and GCC terms from Debian's
copyright files of the cross compiler's packages, the GPL from
common-licenses. The icon font's licence is the first of the given files
that exists.
"""
import argparse
import os
import re
import subprocess
import sys
import textwrap

RULE = "=" * 78


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def heading(number, title):
    return f"{RULE}\n{number}. {title}\n{RULE}\n"


def paragraphs(*texts):
    return "\n".join(textwrap.fill(t, 78) + "\n" for t in texts)


# --- Debian machine-readable copyright files -------------------------------

def dep5_stanzas(text):
    """The stanzas of a machine-readable copyright file: one dict each, a
    field's continuation lines joined with line breaks ("." lines empty)."""
    stanzas = []
    for block in re.split(r"\n\s*\n", text):
        fields, name = {}, None
        for line in block.splitlines():
            if line[:1] in (" ", "\t") and name:
                part = line.strip()
                fields[name] += "\n" + ("" if part == "." else part)
            elif ":" in line:
                name, value = line.split(":", 1)
                fields[name] = value.strip()
        if fields:
            stanzas.append(fields)
    return stanzas


def dep5_part(stanzas, files):
    """Copyright and licence of the Files stanza for the pattern, with the
    licence's text from its stanza when the Files stanza names it only."""
    for s in stanzas:
        names = s.get("Files", "").split()
        if files in names:
            licence = s["License"]
            name, _, body = licence.partition("\n")
            if not body.strip():
                for other in stanzas:
                    if "Files" not in other and other.get("License", "").split("\n", 1)[0] == name:
                        body = other["License"].partition("\n")[2]
                        break
            return s.get("Copyright", ""), name, body.strip("\n")
    sys.exit(f"third_party_notices: no stanza for {files}")


def dep5_section(stanzas, files, what):
    holder, name, body = dep5_part(stanzas, files)
    holders = "\n".join("  " + h.strip() for h in holder.splitlines() if h.strip())
    # Pointers to the copies on a Debian machine mean nothing beside the zip.
    body = "\n\n".join(p for p in body.split("\n\n") if not p.startswith("On Debian"))
    return f"{what}\nCopyright:\n{holders}\nLicence: {name}\n\n{body}\n"


# --- the compiler ----------------------------------------------------------

def compiler_macros(compiler):
    """The macros the compiler defines with mingw-w64's version header."""
    try:
        out = subprocess.run([compiler, "-dM", "-E", "-x", "c++", "-"], input="#include <_mingw_mac.h>\n",
                             capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        sys.exit(f"third_party_notices: cannot ask {compiler}: {e}")
    macros = {}
    for line in out.splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == "#define":
            macros[parts[1]] = parts[2]
    return macros


def version(macros, *names):
    return ".".join(macros.get(n, "?") for n in names)


# --- the parts -------------------------------------------------------------

def sqlite_part(number, header, package):
    text = read(header)
    found = re.search(r'#define SQLITE_VERSION\s+"([^"]+)"', text)
    if not found:
        sys.exit(f"third_party_notices: no SQLITE_VERSION in {header}")
    blessing = re.search(r"\*\* (The author disclaims copyright.*?)\n\*\*\n\*{10}", text, re.S)
    if not blessing:
        sys.exit(f"third_party_notices: no dedication in {header}")
    words = "\n".join(line[3:] if line.startswith("** ") else line.lstrip("*") for line in
                      blessing.group(1).splitlines())
    return heading(number, f"SQLite {found.group(1)}") + "\n" + paragraphs(
        f"The database engine, compiled into Quillet.exe from the SQLite amalgamation "
        f"(version {found.group(1)}) shipped in the npm package {package}.",
        "SQLite is in the public domain (https://www.sqlite.org/copyright.html). Its source says:",
    ) + "\n" + textwrap.indent(words.strip("\n"), "    ") + "\n"


def mingw_part(number, copyright_file, macros):
    stanzas = dep5_stanzas(read(copyright_file))
    mingw = version(macros, "__MINGW64_VERSION_MAJOR", "__MINGW64_VERSION_MINOR", "__MINGW64_VERSION_BUGFIX")
    out = heading(number, f"mingw-w64 runtime {mingw}") + "\n" + paragraphs(
        "Quillet.exe is linked statically with the mingw-w64 runtime: its start-up code and C runtime "
        "library (mingw-w64-crt) and its POSIX threads library winpthreads, on which the C++ threads "
        "of the program run. Their terms, as Debian's mingw-w64 packages state them:") + "\n"
    for files, what in (("*", "mingw-w64-crt (start-up code and C runtime library)"),
                        ("mingw-w64-crt/gdtoa/*", "mingw-w64-crt/gdtoa (number formatting and parsing)"),
                        ("mingw-w64-libraries/winpthreads/*", "winpthreads"),
                        ("mingw-w64-libraries/winpthreads/include/pthread.h", "winpthreads: pthread.h")):
        out += "-" * 78 + "\n" + dep5_section(stanzas, files, what) + "\n"
    return out


def gcc_part(number, copyright_file, gpl3, macros):
    text = read(copyright_file)
    start = text.find("GCC RUNTIME LIBRARY EXCEPTION")
    end = text.find("requirements of the license of GCC.", start)
    if start < 0 or end < 0:
        sys.exit(f"third_party_notices: no GCC Runtime Library Exception in {copyright_file}")
    exception = text[start:end + len("requirements of the license of GCC.")]
    # Debian's cross compiler reports its major version alone.
    gcc = macros.get("__GNUC__", "?")
    return heading(number, f"GCC {gcc} runtime libraries: libgcc and libstdc++") + "\n" + paragraphs(
        "Quillet.exe is linked statically with the runtime libraries of the GNU Compiler Collection it "
        "is built with: libgcc (with its exception handling) and the C++ standard library libstdc++.",
        "Copyright (C) Free Software Foundation, Inc.",
        "These libraries are licensed under the GNU General Public License, version 3 or (at your "
        "option) any later version, with version 3.1 of the GCC Runtime Library Exception, which "
        "allows Quillet.exe to be conveyed under its own terms. Both texts follow.",
    ) + "\n" + exception.strip() + "\n\n" + "-" * 78 + "\n\n" + read(gpl3).strip() + "\n"


def icon_font_part(number, licences, package, apache):
    found = next((p for p in licences if os.path.isfile(p)), None)
    if not found:
        sys.exit("third_party_notices: none of the icon font licences exists: " + ", ".join(licences))
    text = read(found)
    if text.startswith("Format:"):
        # Debian's copyright file of the font package: the font files' part.
        terms = dep5_section(dep5_stanzas(text), "dist/fonts/*.ttf", "MaterialIcons-Regular.ttf")
    else:
        terms = text.strip() + "\n"
    out = heading(number, "Material Design icon font") + "\n" + paragraphs(
        f"The icons Quillet draws where Windows has no \"Segoe MDL2 Assets\" come from a subset of the "
        f"Material Icons font (MaterialIcons-Regular.ttf) of {package}, built into Quillet.exe. It is "
        f"licensed under the Apache License, Version 2.0.") + "\n" + terms
    # Terms that only name the licence are followed by its text.
    if "TERMS AND CONDITIONS FOR USE" not in text:
        if not apache or not os.path.isfile(apache):
            sys.exit("third_party_notices: the Apache License text is needed beside " + found)
        out += "\n" + "-" * 78 + "\n\n" + read(apache).strip() + "\n"
    return out


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--out", required=True)
    p.add_argument("--sqlite-header")
    p.add_argument("--sqlite-package", default="")
    p.add_argument("--compiler")
    p.add_argument("--mingw-copyright")
    p.add_argument("--gcc-copyright")
    p.add_argument("--gpl3")
    p.add_argument("--icon-font-licence", action="append", default=[])
    p.add_argument("--icon-font-package", default="")
    p.add_argument("--apache")
    a = p.parse_args()

    parts = []
    if a.sqlite_header:
        parts.append(lambda n: sqlite_part(n, a.sqlite_header, a.sqlite_package))
    if a.compiler:
        macros = compiler_macros(a.compiler)
        parts.append(lambda n: mingw_part(n, a.mingw_copyright, macros))
        parts.append(lambda n: gcc_part(n, a.gcc_copyright, a.gpl3, macros))
    if a.icon_font_licence:
        parts.append(lambda n: icon_font_part(n, a.icon_font_licence, a.icon_font_package, a.apache))

    text = "Third-party software in Quillet\n\n" + paragraphs(
        "Quillet.exe contains the following software by others, under the terms below. Quillet's own "
        "licence is in license.txt.") + "\n"
    text += "\n".join(part(i + 1) for i, part in enumerate(parts))
    os.makedirs(os.path.dirname(os.path.abspath(a.out)), exist_ok=True)
    with open(a.out + ".part", "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.replace(a.out + ".part", a.out)


if __name__ == "__main__":
    main()
