#!/usr/bin/env python3
"""Debug symbols that the build collects from the application's sources.

    symbole.py OUTPUT SOURCE_DIR FILE...

FILE... are the sources in the order of their file index (VELMORA_QUELLE).
Writes OUTPUT (C++): the source file list, per file the ascending line numbers
that carry the statement mark "Z_" (the table of executable lines), and for
each "PROZEDUR(name, arg, ...)" line the stored names of its arguments
("p_" + name) for the procedure's variable table.  The file is rewritten only
when its text changes, so an unrelated edit rebuilds nothing.
"""
import os
import re
import sys

MARK = re.compile(r"^\s*Z_(\s|$)")
PROCEDURE = re.compile(r"^\s*PROZEDUR\(\s*(\w+)\s*((?:,\s*\w+\s*)*)\)\s*;")


def collect(path):
    lines, procedures = [], []
    with open(path, encoding="latin-1") as source:
        for number, text in enumerate(source, 1):
            if MARK.match(text):
                lines.append(number)
            found = PROCEDURE.match(text)
            if found:
                arguments = [a.strip() for a in found.group(2).split(",") if a.strip()]
                procedures.append((found.group(1), arguments))
    return lines, procedures


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    output, source_dir, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    out = ["// Made by app/werkzeuge/symbole.py from the application's sources.",
           "#include <cstdint>", "", '#include "runtime/debugger/symbols.h"', "",
           "namespace velmora {", ""]
    out.append("extern const char* const Quellverzeichnis = %s;" % c_string(source_dir.rstrip("/") + "/"))
    out.append("extern const char* const Quelldateien[] = {%s};" % ", ".join(c_string(f) for f in files))
    out.append("extern const int32_t Quelldateienanzahl = %d;" % len(files))
    out.append("")
    tables, seen = [], set()
    for index, name in enumerate(files):
        lines, procedures = collect(os.path.join(source_dir, name))
        if lines:
            out.append("static const int32_t zeilen_%d[] = {%s};" % (index, ", ".join(map(str, lines))))
            tables.append("{%d, zeilen_%d, %d}" % (index, index, len(lines)))
        for procedure, arguments in procedures:
            if procedure in seen:
                sys.exit("%s: PROZEDUR(%s) a second time" % (name, procedure))
            seen.add(procedure)
            names = ", ".join(c_string("p_" + a) for a in arguments) or "nullptr"
            out.append("extern const char* const Argumentnamen_%s[] = {%s};" % (procedure, names))
    out.append("")
    out.append("extern const kx::ExecutableLines AusfuehrbareZeilen[] = {%s};" % (", ".join(tables) or "{0, nullptr, 0}"))
    out.append("extern const int32_t AusfuehrbareZeilenAnzahl = %d;" % len(tables))
    out.append("")
    out.append("}  // namespace velmora")
    text = "\n".join(out) + "\n"
    try:
        with open(output, encoding="latin-1") as old:
            if old.read() == text:
                return
    except OSError:
        pass
    with open(output, "w", encoding="latin-1") as new:
        new.write(text)


if __name__ == "__main__":
    main()
