#!/usr/bin/env python3
"""Each program's --help and its manual page name the same commands and options: every word that
looks like one (--name, -x), backquoted examples left out, and --help, which every command takes.

    help_agrees_with_manuals.py MAN_DIR LEXORPEEK LEXOR_MKDICT [LEXORPEEK_WINDOW]
"""
import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])--?[a-z][a-z-]*")
# What GTK and GApplication add to a window program's --help; the manual describes the program's own.
TOOLKIT_OPTION = re.compile(r"--(help-|gtk-|gdk-|g-|gapplication-|display|class|name)")


def options(text):
    return set(OPTION.findall(re.sub(r"`[^`]*`", "", text))) | {"--help"}


def help_text(*argv):
    # No display: the window program's --help must work without one.
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    done = subprocess.run([*argv, "--help"], capture_output=True, text=True, timeout=30, env=env)
    if done.returncode != 0:
        sys.exit(f"{' '.join(argv)} --help: exit status {done.returncode}")
    return done.stdout


def manual(path):
    """The page's sections, and the subsections of COMMANDS, as plain text."""
    text = open(path, encoding="utf-8").read().replace("\\-", "-")
    text = re.sub(r"\\f[BIRP]|\\\(lq|\\\(rq", "", text)
    sections = dict(re.findall(r'^\.SH "?(.*?)"?\n(.*?)(?=^\.SH |\Z)', text, re.M | re.S))
    subsections = re.findall(r"^\.SS (\S+).*?\n(.*?)(?=^\.S[SH] |\Z)", sections.get("COMMANDS", ""), re.M | re.S)
    return sections, dict(subsections)


def help_block(text, title):
    match = re.search(rf"^{title}:\n((?:  .*\n)+)", text, re.M)
    return match.group(1) if match else ""


failures = []


def expect_same(what, from_help, from_manual):
    if from_help != from_manual:
        only = f"only in --help: {sorted(from_help - from_manual)}"
        failures.append(f"{what}: {only}, only in the manual: {sorted(from_manual - from_help)}")


def main():
    man_dir, lexorpeek, mkdict, *window = sys.argv[1:]

    sections, commands = manual(os.path.join(man_dir, "lexorpeek.1"))
    top = help_text(lexorpeek)
    listed = set(re.findall(r"^  ([a-z][a-z-]*) ", help_block(top, "commands"), re.M))
    documented = set(commands)
    # The window command comes with the window program; until a build has it, its page stands alone.
    if "window" not in listed:
        documented.discard("window")
    expect_same("lexorpeek commands", listed, documented)
    expect_same("lexorpeek options", options(help_block(top, "options")), options(sections["OPTIONS"]))
    for command in sorted(listed & documented - {"window"}):
        expect_same(f"lexorpeek {command}", options(help_text(lexorpeek, command)), options(commands[command]))

    mkdict_sections, _ = manual(os.path.join(man_dir, "lexor-mkdict.1"))
    expect_same("lexor-mkdict", options(help_text(mkdict)), options(mkdict_sections["OPTIONS"]))

    if window and os.access(window[0], os.X_OK):
        window_sections, _ = manual(os.path.join(man_dir, "lexorpeek-window.1"))
        own = {o for o in options(help_text(window[0])) if not TOOLKIT_OPTION.match(o)}
        expect_same("lexorpeek-window", own, options(window_sections["OPTIONS"]))

    if failures:
        sys.exit("\n".join(failures))
    print("--help and the manual pages agree")


main()
