#!/usr/bin/env python3
"""Fault planting: plants one small fault at a time into a copy of the tree, builds, runs the test programs and reports which faults the suite catches."""
# How to run it, and the figures of the last runs: docs/mutation.md.
#
# The faults ("mutants") are planted in the game's own code: game/, ui/,
# settings/, audio/, input/, gfx/ and the frame and widget code of app/ (.cpp files;
# headers are left alone, since a change there rebuilds everything). Kinds:
#   REL   a relational boundary: < and <=, > and >= swapped
#   NUM   a number nudged: an integer by one, a decimal in its last digit
#   BOOL  true and false swapped
#   DEL   a one-line statement deleted (replaced by an empty statement)
#   ASSIGN  += and -= swapped
#
# Every possible fault has an id made from its file, its line's text, its
# place in the line and the change, so a fault keeps its id while other lines
# change. A sample is the `count` faults that rank lowest under a hash of the
# seed and the id: the same seed picks the same faults again, and an edit
# elsewhere in the code does not reshuffle the sample.
#
# The copy lives in a work folder (default /tmp/corvus-mutate): src/ is the
# repository's files (tracked and new ones, as they are in the work tree),
# build/ is one build with the game's libraries shared, so a fault costs one
# compile and one library link. Files are copied only when they differ, so the
# build stays incremental between runs.

import argparse
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field

SCOPE_DIRS = ["game", "ui", "settings", "audio", "input", "gfx"]
SCOPE_FILES = ["app/frame.cpp", "app/widget.cpp"]

# Tests that cannot see a planted fault: the art generators' byte-for-byte
# rerun exercises only tools/ (and takes most of a run's time).
EXCLUDED_TESTS = ["ArtGenerators.*"]

# The faults the issue that asked for this tool named as examples; --examples
# runs exactly these. Each is a pattern matched against a fault's description;
# the first fault in file order that matches is run.
EXAMPLES = {
    "ramming the carrier costs no ship": r"game/collision\.cpp:\d+ DEL loseShip\(\);",
    "music plays on without the focus": r"app/widget\.cpp:\d+ DEL pauseMusic\(\);",
    "piercing shots survive a restart": r"game/globals\.cpp:\d+ DEL piercingShots = false;",
    "ship drag off by a little": r"game/motion\.cpp:\d+ NUM .*SHIP_DRAG = 0\.995f",
    "speed limit off by a little": r"ui/keyboard\.cpp:\d+ NUM .*SPEED_LIMIT = 16\.0f",
    "rock speed off by a little": r"game/level\.cpp:\d+ NUM .*BIG_ROCK_SPEED_STEP = 0\.1f",
    "boss level off by one": r"game/powerups\.cpp:\d+ NUM .*BOSS_FIRST_LEVEL = 4",
    "boss fire level off by one": r"game/powerups\.cpp:\d+ NUM .*BOSS_FIRING_LEVEL = 6",
    "scenery level off by one": r"game/level\.cpp:\d+ NUM .*SCENERY_FIRST_LEVEL = 7",
    "hard shield level off by one": r"game/render\.cpp:\d+ NUM .*SHIELD_FAST_DRAIN_LEVEL = 8",
    "attempt starts with the shield down": r"game/level\.cpp:\d+ BOOL shieldsUp = true;",
}


@dataclass
class Mutant:
    path: str          # relative to the tree
    line: int          # 1-based
    kind: str
    start: int         # offset of the replaced text in the file
    end: int
    replacement: str
    line_text: str     # the original line, stripped
    new_line: str      # the line with the fault, stripped
    uid: str = ""      # stable id (hex)

    def describe(self):
        return f"{self.path}:{self.line} {self.kind} {self.line_text}  ->  {self.new_line}"


@dataclass
class Outcome:
    mutant: Mutant
    result: str                 # caught, missed, not built, equivalent, equivalent (caught)
    by: str = ""                # test program that failed, or why
    seconds: float = 0.0
    extra: dict = field(default_factory=dict)


# ---------------------------------------------------------------------------
# Finding the faults
# ---------------------------------------------------------------------------

def code_only(text):
    """The text with comments, string and character literals and preprocessor
    lines blanked out (same length, newlines kept), so that patterns only match
    code."""
    out = list(text)
    n = len(text)
    i = 0
    line_start = True

    def blank(a, b):
        for k in range(a, min(b, n)):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if line_start and c in " \t":
            i += 1
            continue
        if line_start and c == "#":
            j = i
            while j < n and (text[j] != "\n" or text[j - 1] == "\\"):
                j += 1
            blank(i, j)
            i = j
            continue
        line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum() and i + 1 < n and text[i + 1].isalnum())):
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            blank(i, j + 1)
            i = j + 1
        else:
            i += 1
    return "".join(out)


NUMBER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+\.\d*(?:[eE][-+]?\d+)?|\d*\.\d+(?:[eE][-+]?\d+)?|\d+)([uUlLfF]*)(?![\w.'])")
RELATIONAL = re.compile(r"(?<=\s)(<=|>=|<|>)(?=\s)")
COMPOUND = re.compile(r"(?<=\s)(\+=|-=)(?=\s)")
BOOLEAN = re.compile(r"\b(true|false)\b")
KEYWORDS = {"return", "break", "continue", "goto", "case", "default", "delete", "throw", "using",
            "typedef", "if", "for", "while", "do", "switch", "else", "static_assert", "namespace",
            "template", "public", "private", "protected"}
STATEMENT = re.compile(r"^(\s*)((?:\+\+|--)?([A-Za-z_]\w*)(?:\s*(?:::|\.|->)\s*[A-Za-z_]\w*|\[[^\]]*\])*"
                       r"\s*(?:=(?!=)|\+=|-=|\*=|/=|\|=|&=|\^=|<<=|>>=|\(|\+\+|--|;).*;)\s*$")


def nudge(literal):
    body, suffix = literal
    if body.lower().startswith("0x"):
        digits = format(int(body, 16) + 1, "0%dx" % (len(body) - 2))
        return body[:2] + (digits.upper() if body[2:].isupper() else digits) + suffix
    if "." in body or "e" in body.lower():
        mantissa, _, exponent = body.lower().partition("e")
        if mantissa.endswith("."):
            mantissa += "0"
        decimals = len(mantissa.split(".")[1]) if "." in mantissa else 0
        digits = int(mantissa.replace(".", "")) + 1
        text = str(digits).rjust(decimals + 1, "0")
        new = text[:-decimals] + "." + text[-decimals:] if decimals else text
        if mantissa.startswith(".") and new.startswith("0."):
            new = new[1:]
        return new + ("e" + exponent if exponent else "") + suffix
    return str(int(body) + 1) + suffix


def scope_files(root):
    files = []
    for d in SCOPE_DIRS:
        folder = os.path.join(root, d)
        if os.path.isdir(folder):
            files += sorted(os.path.join(d, f) for f in os.listdir(folder) if f.endswith(".cpp"))
    files += [f for f in SCOPE_FILES if os.path.exists(os.path.join(root, f))]
    return files


def line_bounds(text, offset):
    a = text.rfind("\n", 0, offset) + 1
    b = text.find("\n", offset)
    return a, (len(text) if b < 0 else b)


def faults_in(root, path):
    text = open(os.path.join(root, path), encoding="utf-8").read()
    code = code_only(text)
    found = []

    def add(kind, start, end, replacement):
        a, b = line_bounds(text, start)
        line = text.count("\n", 0, start) + 1
        # The line without its trailing comment, before and after.
        b = a + len(code[a:b].rstrip())
        old = text[a:b]
        new = old[: start - a] + replacement + old[end - a:]
        found.append(Mutant(path, line, kind, start, end, replacement, old.strip(), new.strip()))

    swap_rel = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
    for m in RELATIONAL.finditer(code):
        add("REL", m.start(), m.end(), swap_rel[m.group(1)])
    for m in COMPOUND.finditer(code):
        add("ASSIGN", m.start(), m.end(), "-=" if m.group(1) == "+=" else "+=")
    for m in BOOLEAN.finditer(code):
        add("BOOL", m.start(), m.end(), "false" if m.group(1) == "true" else "true")
    for m in NUMBER.finditer(code):
        add("NUM", m.start(), m.end(), nudge((m.group(1), m.group(2))))

    # One-line statements: an expression statement alone on its line, whose
    # line before ends a statement, a block or a control header.
    lines = code.split("\n")
    offset = 0
    previous = ";"
    for raw in lines:
        stripped = raw.strip()
        m = STATEMENT.match(raw)
        if (m and m.group(3) not in KEYWORDS and stripped.count(";") == 1 and
                stripped.count("(") == stripped.count(")") and
                (previous[-1:] in ";{}):" or previous.endswith("else"))):
            start = offset + len(m.group(1))
            add("DEL", start, offset + len(raw.rstrip()), ";")
        if stripped:
            previous = stripped
        offset += len(raw) + 1
    return found


def all_faults(root):
    faults = []
    for path in scope_files(root):
        mine = faults_in(root, path)
        seen = {}
        for f in sorted(mine, key=lambda f: (f.start, f.kind)):
            key = (f.line_text, f.kind, f.new_line)
            seen[key] = seen.get(key, 0) + 1
            ident = "\0".join([path, f.line_text, f.kind, f.new_line, str(seen[key])])
            f.uid = hashlib.sha1(ident.encode()).hexdigest()
        faults += mine
    return faults


def sample(faults, seed, count):
    def rank(f):
        return hashlib.sha1(f"{seed}\0{f.uid}".encode()).hexdigest()
    chosen = sorted(faults, key=rank)[:count]
    return sorted(chosen, key=lambda f: (f.path, f.line, f.start, f.kind))


def listed_equivalents(path):
    if not path or not os.path.exists(path):
        return set()
    ids = set()
    for line in open(path, encoding="utf-8"):
        m = re.match(r"^\|\s*`([0-9a-f]{8})`\s*\|", line)
        if m:
            ids.add(m.group(1))
    return ids


# ---------------------------------------------------------------------------
# The copy and its build
# ---------------------------------------------------------------------------

def sync_tree(repo, dst):
    """Copies the repository's files (tracked and untracked, not ignored) into
    dst, writing only those that differ; removes files that are gone."""
    listing = subprocess.run(["git", "-C", repo, "ls-files", "-z", "-co", "--exclude-standard"],
                             check=True, capture_output=True).stdout.decode().split("\0")
    wanted = set()
    for rel in filter(None, listing):
        src = os.path.join(repo, rel)
        if not os.path.isfile(src):
            continue
        wanted.add(rel)
        out = os.path.join(dst, rel)
        data = open(src, "rb").read()
        if os.path.exists(out) and open(out, "rb").read() == data:
            continue
        os.makedirs(os.path.dirname(out), exist_ok=True)
        with open(out, "wb") as fh:
            fh.write(data)
        shutil.copymode(src, out)
    for folder, _, files in os.walk(dst):
        for name in files:
            rel = os.path.relpath(os.path.join(folder, name), dst)
            if rel not in wanted:
                os.remove(os.path.join(folder, name))


def configure(src, build, jobs):
    if os.path.exists(os.path.join(build, "CMakeCache.txt")):
        return
    args = ["cmake", "-S", src, "-B", build,
            "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG",
            "-DCORVUS_SHARED_CORE=ON", "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON",
            "-DCORVUS_BUILD_BENCH=OFF",
            "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"]
    if shutil.which("ninja"):
        args += ["-G", "Ninja"]
    if shutil.which("ld.lld"):
        args += ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def test_programs(src):
    """The test programs, then the recorded games the suite verifies (named
    replay.NAME): a planted fault that changes how a real game plays out, or
    what the world holds at its end, shows there."""
    folder = os.path.join(src, "tests")
    programs = sorted(f[:-4] for f in os.listdir(folder) if f.endswith("_test.cpp"))
    replays = os.path.join(folder, "replays")
    if os.path.isdir(replays):
        programs += sorted("replay." + f[:-7] for f in os.listdir(replays) if f.endswith(".replay"))
    return programs


def command_for(buildDir, src, name):
    if name.startswith("replay."):
        replay = os.path.join(src, "tests", "replays", name[len("replay."):] + ".replay")
        return [os.path.join(buildDir, "bin", "corvusraiders"), "--replay", replay, "--verify"]
    return [os.path.join(buildDir, "tests", name), "--gtest_brief=1", "--gtest_fail_fast",
            "--gtest_filter=-" + ":".join(EXCLUDED_TESTS)]


def build(buildDir, targets, jobs, limit):
    try:
        r = subprocess.run(["cmake", "--build", buildDir, "-j", str(jobs), "--target", *targets],
                           capture_output=True, timeout=limit)
        return r.returncode == 0, r.stdout.decode(errors="replace")[-3000:]
    except subprocess.TimeoutExpired:
        return False, "build timed out"


def run_tests(buildDir, src, programs, jobs, limit):
    """Runs the test programs, `jobs` at a time, and stops at the first one that
    fails or overruns. Returns (failed program or "", seconds per program)."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")
    queue = list(programs)
    running = {}
    times = {}
    failed = ""
    while (queue or running) and not failed:
        while queue and len(running) < jobs:
            name = queue.pop(0)
            p = subprocess.Popen(command_for(buildDir, src, name), env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 cwd=os.path.join(buildDir, "tests"), start_new_session=True)
            running[name] = (p, time.monotonic())
        time.sleep(0.02)
        for name, (p, started) in list(running.items()):
            rc = p.poll()
            elapsed = time.monotonic() - started
            if rc is None and elapsed > limit:
                kill(p)
                rc = "timeout"
            if rc is None:
                continue
            del running[name]
            times[name] = elapsed
            if rc != 0:
                failed = name + (" (timed out)" if rc == "timeout" else "")
    for p, _ in running.values():
        kill(p)
    return failed, times


def kill(p):
    try:
        os.killpg(p.pid, 9)
    except ProcessLookupError:
        pass
    p.wait()


def order_for(fault, programs, baseline):
    """The programs named after the fault's folder first, then the rest, the
    quickest first."""
    folder = fault.path.split("/")[0]
    return sorted(programs, key=lambda p: (not p.startswith(folder + "_"), baseline.get(p, 99)))


# ---------------------------------------------------------------------------
# Main
# ---------------------------------------------------------------------------

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo_default = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--repo", default=repo_default, help="tree to copy (default: this checkout)")
    ap.add_argument("--work", default="/tmp/corvus-mutate", help="work folder for the copy and its build")
    ap.add_argument("--seed", type=int, default=16, help="sampling seed (default 16)")
    ap.add_argument("--count", type=int, default=150, help="faults in the sample (default 150)")
    ap.add_argument("--jobs", type=int, default=2, help="parallel build jobs and test programs (default 2)")
    ap.add_argument("--timeout", type=float, default=60, help="seconds one test program may run (default 60)")
    ap.add_argument("--only", help="instead of a sample, every fault whose id and description "
                    "('ID  FILE:LINE KIND BEFORE  ->  AFTER') match this regex")
    ap.add_argument("--examples", action="store_true", help="run the issue's named example faults")
    ap.add_argument("--list", action="store_true", help="list the faults chosen and stop")
    ap.add_argument("--equivalents", default=None,
                    help="file listing faults known to be equivalent (default: docs/mutation.md)")
    ap.add_argument("--report", help="also write the report to this file")
    a = ap.parse_args()

    src = os.path.join(a.work, "src")
    buildDir = os.path.join(a.work, "build")
    os.makedirs(src, exist_ok=True)
    sync_tree(a.repo, src)

    faults = all_faults(src)
    if a.examples:
        chosen = []
        for name, pattern in EXAMPLES.items():
            hits = [f for f in faults if re.search(pattern, f.describe())]
            if not hits:
                print(f"example not found: {name} ({pattern})", file=sys.stderr)
            chosen += hits[:1]
    elif a.only:
        chosen = [f for f in faults if re.search(a.only, f.uid[:8] + "  " + f.describe())]
    else:
        chosen = sample(faults, a.seed, a.count)
    equivalents = listed_equivalents(a.equivalents or os.path.join(a.repo, "docs", "mutation.md"))

    if a.list:
        for f in chosen:
            print(f"{f.uid[:8]}  {f.describe()}")
        print(f"{len(chosen)} of {len(faults)} faults")
        return 0

    started = time.monotonic()
    configure(src, buildDir, a.jobs)
    programs = test_programs(src)
    targets = [p for p in programs if not p.startswith("replay.")] + ["corvusraiders"]
    ok, log = build(buildDir, targets, a.jobs, 3600)
    if not ok:
        print("the unchanged tree does not build:\n" + log, file=sys.stderr)
        return 2
    failed, baseline = run_tests(buildDir, src, programs, a.jobs, a.timeout * 3)
    if failed:
        print(f"the unchanged tree fails {failed}; fix that first", file=sys.stderr)
        return 2
    print(f"baseline: {len(programs)} test programs in {sum(baseline.values()):.1f} s "
          f"(set-up {time.monotonic() - started:.0f} s)", flush=True)

    outcomes = []
    originals = {}
    for n, f in enumerate(chosen, 1):
        t0 = time.monotonic()
        path = os.path.join(src, f.path)
        if f.path not in originals:
            originals[f.path] = open(path, encoding="utf-8").read()
        text = originals[f.path]
        with open(path, "w", encoding="utf-8") as fh:
            fh.write(text[: f.start] + f.replacement + text[f.end:])
        try:
            ok, log = build(buildDir, targets, a.jobs, 600)
            if not ok:
                o = Outcome(f, "not built", "compile error")
            else:
                failed, _ = run_tests(buildDir, src, order_for(f, programs, baseline), a.jobs, a.timeout)
                o = Outcome(f, "caught" if failed else "missed", failed)
        finally:
            with open(path, "w", encoding="utf-8") as fh:
                fh.write(text)
        if f.uid[:8] in equivalents:
            o.result = "equivalent" if o.result == "missed" else o.result + " (listed equivalent)"
        o.seconds = time.monotonic() - t0
        outcomes.append(o)
        print(f"[{n}/{len(chosen)}] {o.result:<10} {f.uid[:8]} {f.describe()}"
              f"{'  [' + o.by + ']' if o.by else ''}  {o.seconds:.1f} s", flush=True)
    # Leave the copy's build as the unchanged tree.
    build(buildDir, targets, a.jobs, 3600)

    report = summary(outcomes, a, len(faults), time.monotonic() - started)
    print(report)
    if a.report:
        with open(a.report, "w", encoding="utf-8") as fh:
            fh.write(report)
    return 0


def summary(outcomes, a, universe, seconds):
    count = {}
    for o in outcomes:
        key = o.result.split(" (")[0]
        count[key] = count.get(key, 0) + 1
    caught = count.get("caught", 0)
    missed = count.get("missed", 0)
    equivalent = count.get("equivalent", 0)
    built = caught + missed + equivalent
    scored = caught + missed
    lines = [
        "",
        f"Faults: {len(outcomes)} (seed {a.seed}, from {universe} possible), in {seconds / 60:.1f} min",
        f"  not built:  {count.get('not built', 0)}",
        f"  caught:     {caught}",
        f"  missed:     {missed}",
        f"  equivalent: {equivalent} (missed, listed as equivalent)",
        f"Caught {caught} of {built} built ({100.0 * caught / max(built, 1):.1f} %); "
        f"without the equivalents {caught} of {scored} ({100.0 * caught / max(scored, 1):.1f} %)",
    ]
    misses = [o for o in outcomes if o.result == "missed"]
    if misses:
        lines.append("")
        lines.append("Missed:")
        for o in misses:
            lines.append(f"  {o.mutant.uid[:8]}  {o.mutant.describe()}")
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    sys.exit(main())
