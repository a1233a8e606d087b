#!/usr/bin/env python3
"""Writes one man page with help2man from a built program's --help and --version, with the sections
--help cannot hold from an include file. For a program with commands (wharfling), every command's
own help (`PROGRAM help COMMAND`) becomes the COMMANDS section, so the page has one source: the
program.

usage: man_page.py HELP2MAN PROGRAM SECTION DESCRIPTION INCLUDE OUTPUT
"""
import os
import re
import subprocess
import sys
import tempfile


def roff(text):
    """text as roff: backslashes and hyphens escaped, no line read as a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def command_help(program, name):
    return subprocess.run([program, "help", name], capture_output=True, text=True, check=True).stdout


def commands_section(program, program_help):
    listing = re.search(r"\ncommands:\n(.*?)\n\n", program_help, re.S)
    if listing is None:
        return ""
    out = ["[COMMANDS]"]
    for name in re.findall(r"^  ([a-z][a-z-]*) ", listing.group(1), re.M):
        if name == "help":
            continue
        usage, *blocks = command_help(program, name).strip("\n").split("\n\n")
        out.append('.SS "%s"' % roff(usage.removeprefix("usage: ")))
        for block in blocks:
            lines = block.split("\n")
            if lines[0].endswith(":") and lines[0] in ("options:", "arguments:"):
                for line in lines[1:]:
                    option = re.match(r"\s+(\S.*?)\s{2,}(\S.*)$", line)
                    if option:
                        out += [".TP", ".B " + roff(option.group(1)), roff(option.group(2))]
                    else:
                        out.append(roff(line.strip()))
            else:
                out += [".PP", roff(" ".join(line.strip() for line in lines))]
    return "\n".join(out) + "\n\n"


def main(help2man, program, section, description, include, output):
    program_help = subprocess.run([program, "--help"], capture_output=True, text=True, check=True).stdout
    with open(include, encoding="utf-8") as extra:
        sections = commands_section(program, program_help) + extra.read()
    with tempfile.NamedTemporaryFile("w", suffix=".h2m", encoding="utf-8", delete=False) as combined:
        combined.write(sections)
    try:
        subprocess.run([help2man, "--no-info", "--section=" + section, "--name=" + description,
                        "--include=" + combined.name, "--output=" + output, program], check=True)
    finally:
        os.unlink(combined.name)


if __name__ == "__main__":
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    main(*sys.argv[1:])
