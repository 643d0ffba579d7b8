#!/usr/bin/python3
"""Mutation testing of the program's code, on its syntax tree.

Parses each native .cpp of app/, ports/, install/ and framework/ with libclang
(Debian's python3-clang-14, for the system's /usr/bin/python3), places mutants
on the syntax tree, and for each one: writes it into the source by the
extent that libclang gave, rebuilds the native test programs incrementally,
runs them (a bound per mutant: a hang counts as killed), and puts the source
back. A mutant that survives them is built and run once more with
AddressSanitizer and UndefinedBehaviorSanitizer (preset native-asan), as the
test command runs the same tests there. A mutant that does not compile is not
counted.

The mutants:
  relational   a relational operator negated (<  becomes >=, == becomes !=, ...)
  logical      && and || swapped; a ! dropped
  condition    the condition of an if, while, for or ?: negated
  return       a boolean return swapped (true/false, TRUE/FALSE), or the
               value of a function that answers bool or BOOL negated
  constant     an integer constant changed by one; TRUE/FALSE and true/false
               swapped where they are arguments or initialisers
  drop-call    a call whose result is unused dropped

Usage: scripts/mutate.py [N] [--ids 3,17] [--file install/] [--rerun RESULTS] [--list]
With N, a sample of N mutants seeded by the commit (the same commit gives the
same sample); without, all of them. The report goes to build/mutation/report.md.
Survivors named in scripts/mutation-survivors.txt are marked as accepted there;
they still count as survivors in the score.
"""
import argparse
import json
import os
import random
import re
import shlex
import signal
import subprocess
import sys
import time

import clang.cindex as ci

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "native")
ASAN_BUILD = os.path.join(ROOT, "build", "asan")
OUT = os.path.join(ROOT, "build", "mutation")
ACTIVE = os.path.join(OUT, "active-mutant.json")
ACCEPTED = os.path.join(ROOT, "scripts", "mutation-survivors.txt")
FOLDERS = ("app/", "ports/", "install/", "framework/")
TARGETS = ["setup_tests", "setup_tests_no_auto_install", "setup_tests_x86", "setup_fault_matrix"]
TEST_TIMEOUT = 60
SANITIZED_TIMEOUT = 240  # the same tests take some five times as long there
BUILD_TIMEOUT = 600

for library in ("/usr/lib/llvm-14/lib/libclang.so.1", "/usr/lib/llvm-14/lib/libclang-14.so.1"):
    if os.path.exists(library):
        ci.Config.set_library_file(library)
        break

K = ci.CursorKind
RELATIONAL = {"<": ">=", "<=": ">", ">": "<=", ">=": "<", "==": "!=", "!=": "=="}
LOGICAL = {"&&": "||", "||": "&&"}
BOOLEANS = {"true": "false", "false": "true", "TRUE": "FALSE", "FALSE": "TRUE"}
FUNCTIONS = (K.FUNCTION_DECL, K.CXX_METHOD, K.CONSTRUCTOR, K.DESTRUCTOR, K.FUNCTION_TEMPLATE, K.CONVERSION_FUNCTION)
INTEGER = re.compile(r"^(0[xX][0-9a-fA-F]+|[0-9]+)([uUlL]*)$")


def log(text):
    print(text, flush=True)


# ---------------------------------------------------------------- the tree


def compile_arguments(path):
    """The native build's flags for one source, for libclang."""
    with open(os.path.join(BUILD, "compile_commands.json")) as f:
        commands = json.load(f)
    for entry in commands:
        if os.path.realpath(entry["file"]) != os.path.realpath(path):
            continue
        words = shlex.split(entry["command"]) if "command" in entry else entry["arguments"]
        args, skip = [], False
        for word in words[1:]:
            if skip:
                skip = False
                continue
            if word in ("-o", "-c"):
                skip = word == "-o"
                continue
            if os.path.realpath(os.path.join(entry["directory"], word)) == os.path.realpath(path):
                continue
            if word.startswith("-W"):  # the compiler's warnings are gcc's, not libclang's
                continue
            args.append(word)
        return ["-x", "c++", "-std=c++17", "-I" + ROOT] + args
    return None


def sources():
    """The .cpp files of the covered folders that the native build compiles, once each."""
    with open(os.path.join(BUILD, "compile_commands.json")) as f:
        commands = json.load(f)
    found = []
    for entry in commands:
        rel = os.path.relpath(os.path.realpath(entry["file"]), ROOT)
        if rel.endswith(".cpp") and rel.startswith(FOLDERS) and rel not in found:
            found.append(rel)
    return sorted(found)


def unwrap(cursor):
    """Through the implicit nodes (conversions, cleanups) that libclang shows as unexposed."""
    while cursor.kind in (K.UNEXPOSED_EXPR, K.PAREN_EXPR) and len(list(cursor.get_children())) == 1:
        cursor = next(cursor.get_children())
    return cursor


class Mutants:
    def __init__(self, rel):
        self.rel = rel
        self.path = os.path.join(ROOT, rel)
        with open(self.path, "rb") as f:
            self.text = f.read()
        args = compile_arguments(self.path)
        self.tu = ci.Index.create().parse(self.path, args=args)
        errors = [d for d in self.tu.diagnostics if d.severity >= ci.Diagnostic.Error]
        if errors:
            raise SystemExit(f"{rel}: libclang cannot parse it: {errors[0]}")
        self.found = []
        self.seen = set()

    # Offsets are bytes of this file; anything that comes from another file
    # (a header, a macro's definition) is not ours to mutate.
    def mine(self, extent):
        start, end = extent.start, extent.end
        return (start.file is not None and end.file is not None and
                os.path.realpath(start.file.name) == os.path.realpath(self.path) and
                os.path.realpath(end.file.name) == os.path.realpath(self.path) and start.offset < end.offset)

    def source(self, start, end):
        return self.text[start:end].decode("utf-8", "replace")

    def tokens(self, cursor):
        return [t for t in self.tu.get_tokens(extent=cursor.extent)
                if t.location.file is not None and
                os.path.realpath(t.location.file.name) == os.path.realpath(self.path)]

    def add(self, kind, start, end, replacement, function, line):
        original = self.source(start, end)
        if original == replacement or (start, end, replacement) in self.seen:
            return
        self.seen.add((start, end, replacement))
        self.found.append({"file": self.rel, "start": start, "end": end, "line": line, "kind": kind,
                           "original": original, "replacement": replacement, "function": function})

    def operator_token(self, cursor, children):
        """The operator between a binary node's two operands, read from the source itself."""
        if len(children) < 2 or not self.mine(children[0].extent) or not self.mine(children[-1].extent):
            return None
        left_end, right_start = children[0].extent.end.offset, children[-1].extent.start.offset
        for token in self.tokens(cursor):
            offset = token.extent.start.offset
            if left_end <= offset < right_start and token.kind == ci.TokenKind.PUNCTUATION:
                if self.source(offset, token.extent.end.offset) == token.spelling:
                    return token
                return None
        return None

    def condition_range(self, cursor):
        """The condition's bytes, within the parentheses of if, while and for."""
        tokens = self.tokens(cursor)
        if len(tokens) < 3:
            return None
        keyword = "while" if cursor.kind == K.DO_STMT else tokens[0].spelling
        if cursor.kind == K.DO_STMT:
            index = max((i for i, t in enumerate(tokens) if t.spelling == "while"), default=None)
            if index is None:
                return None
            tokens = tokens[index:]
        if tokens[0].spelling != keyword or tokens[1].spelling != "(":
            return None
        depth, separators, close = 0, [], None
        for i, token in enumerate(tokens[1:], 1):
            if token.spelling in "([{":
                depth += 1
            elif token.spelling in ")]}":
                depth -= 1
                if depth == 0:
                    close = i
                    break
            elif token.spelling == ";" and depth == 1:
                separators.append(i)
        if close is None:
            return None
        if cursor.kind == K.FOR_STMT:
            if len(separators) != 2 or separators[1] == separators[0] + 1:
                return None
            first, last = tokens[separators[0] + 1], tokens[separators[1] - 1]
        else:
            if separators:  # an if with an initialiser
                return None
            first, last = tokens[2], tokens[close - 1]
        return first.extent.start.offset, last.extent.end.offset

    def negate(self, cursor, start, end, condition, function):
        """`!(condition)`, unless another mutant says the same already."""
        inner = unwrap(condition) if condition is not None else None
        if inner is not None:
            if inner.kind == K.UNARY_OPERATOR and self.source(inner.extent.start.offset,
                                                              inner.extent.start.offset + 1) == "!":
                return  # dropping the ! is the same mutant
            if inner.kind == K.BINARY_OPERATOR:
                token = self.operator_token(inner, list(inner.get_children()))
                if token is not None and token.spelling in RELATIONAL and \
                        (token.extent.start.offset > start and inner.extent.end.offset <= end):
                    if inner.extent.start.offset == start and inner.extent.end.offset == end:
                        return  # the relational mutant negates it already
        text = self.source(start, end)
        self.add("condition", start, end, "!(" + text + ")", function, cursor.extent.start.line)

    def statement_call(self, statement, function):
        """A statement that is only a call (perhaps cast to void): dropped."""
        inner = unwrap(statement)
        if inner.kind == K.CSTYLE_CAST_EXPR:
            inner = unwrap(list(inner.get_children())[-1])
        if inner.kind != K.CALL_EXPR or not self.mine(statement.extent):
            return
        referenced = inner.referenced
        if referenced is not None and referenced.kind == K.CONSTRUCTOR:
            return
        self.add("drop-call", statement.extent.start.offset, statement.extent.end.offset, "(void)0", function,
                 statement.extent.start.line)

    def walk(self, cursor, function="<file scope>", returns=None, parent=None):
        kind = cursor.kind
        if kind in FUNCTIONS and cursor.is_definition():
            owner = cursor.semantic_parent
            function = cursor.spelling
            if owner is not None and owner.kind in (K.CLASS_DECL, K.STRUCT_DECL):
                function = owner.spelling + "::" + function
            returns = cursor.result_type.spelling if kind in (K.FUNCTION_DECL, K.CXX_METHOD) else None
        if cursor.location.file is not None and \
                os.path.realpath(cursor.location.file.name) != os.path.realpath(self.path):
            return
        children = list(cursor.get_children())
        mine = self.mine(cursor.extent)

        if mine and kind in (K.BINARY_OPERATOR, K.CALL_EXPR):
            is_operator = kind == K.BINARY_OPERATOR or cursor.spelling.startswith("operator")
            token = self.operator_token(cursor, children) if is_operator else None
            if token is not None:
                start, end = token.extent.start.offset, token.extent.end.offset
                if token.spelling in RELATIONAL:
                    self.add("relational", start, end, RELATIONAL[token.spelling], function, token.location.line)
                elif token.spelling in LOGICAL:
                    self.add("logical", start, end, LOGICAL[token.spelling], function, token.location.line)

        if mine and kind == K.UNARY_OPERATOR:
            start = cursor.extent.start.offset
            if self.source(start, start + 1) == "!" and self.source(start, start + 2) != "!=":
                self.add("logical", start, start + 1, "", function, cursor.extent.start.line)

        if mine and kind in (K.IF_STMT, K.WHILE_STMT, K.FOR_STMT, K.DO_STMT):
            span = self.condition_range(cursor)
            if span is not None:
                declares = any(c.kind in (K.VAR_DECL, K.DECL_STMT) and span[0] <= c.extent.start.offset < span[1]
                               for c in children)
                condition = next((c for c in children if c.extent.start.offset == span[0] and
                                  c.extent.end.offset == span[1]), None)
                if not declares:
                    self.negate(cursor, span[0], span[1], condition, function)
            # The bodies: a call standing alone as a branch or loop body.
            for child in children:
                if span is not None and child.extent.start.offset >= span[1]:
                    self.statement_call(child, function)

        if mine and kind == K.CONDITIONAL_OPERATOR and children and self.mine(children[0].extent):
            condition = children[0]
            self.negate(cursor, condition.extent.start.offset, condition.extent.end.offset, condition, function)

        if kind == K.COMPOUND_STMT:
            for child in children:
                self.statement_call(child, function)

        if mine and kind == K.RETURN_STMT and children and returns in ("bool", "BOOL"):
            value = unwrap(children[0])
            text = self.source(value.extent.start.offset, value.extent.end.offset) if self.mine(value.extent) else ""
            if text not in BOOLEANS and self.mine(children[0].extent):
                start, end = children[0].extent.start.offset, children[0].extent.end.offset
                self.add("return", start, end, "!(" + self.source(start, end) + ")", function,
                         cursor.extent.start.line)

        if mine and kind in (K.INTEGER_LITERAL, K.CXX_BOOL_LITERAL_EXPR):
            start, end = cursor.extent.start.offset, cursor.extent.end.offset
            text = self.source(start, end)
            in_return = parent is not None and unwrap(parent).kind == K.RETURN_STMT or \
                (parent is not None and parent.kind == K.RETURN_STMT)
            if text in BOOLEANS:
                self.add("return" if in_return else "constant", start, end, BOOLEANS[text], function,
                         cursor.extent.start.line)
            else:
                match = INTEGER.match(text)
                if match:
                    digits, suffix = match.groups()
                    value = int(digits, 0)
                    changed = value + 1 if value != 1 else 0
                    hexadecimal = digits[:2].lower() == "0x"
                    spelled = (("0x%0*X" % (len(digits) - 2, changed)) if hexadecimal else str(changed)) + suffix
                    self.add("constant", start, end, spelled, function, cursor.extent.start.line)

        for child in children:
            self.walk(child, function, returns, cursor)

    def collect(self):
        self.walk(self.tu.cursor)
        return self.found


def all_mutants():
    mutants = []
    for rel in sources():
        mutants += Mutants(rel).collect()
    mutants.sort(key=lambda m: (m["file"], m["start"], m["end"], m["replacement"]))
    # A key that survives edits elsewhere in the file: the function, the
    # mutation and its place among the same mutations in that function.
    counts = {}
    for index, m in enumerate(mutants):
        base = (m["file"], m["function"], m["kind"], squeeze(m["original"]), m["replacement"])
        counts[base] = counts.get(base, 0) + 1
        m["key"] = "%s | %s | %s | %s -> %s | #%d" % (base + (counts[base],))
        m["id"] = index
    return mutants


def squeeze(text):
    return re.sub(r"\s+", " ", text).strip()


# ---------------------------------------------------------------- applying one


def restore_leftover():
    """A run that was killed outright may have left its mutant in the tree: put the original back."""
    if not os.path.exists(ACTIVE):
        return
    with open(ACTIVE) as f:
        active = json.load(f)
    with open(active["backup"], "rb") as f:
        original = f.read()
    with open(os.path.join(ROOT, active["file"]), "wb") as f:
        f.write(original)
    os.remove(ACTIVE)
    log("restored %s from the mutant a previous run left in it" % active["file"])


class Applied:
    """The mutant in the source for the duration of a with-block; the original back however it ends."""

    def __init__(self, mutant):
        self.mutant = mutant
        self.path = os.path.join(ROOT, mutant["file"])

    def __enter__(self):
        with open(self.path, "rb") as f:
            self.original = f.read()
        m = self.mutant
        if self.original[m["start"]:m["end"]].decode("utf-8", "replace") != m["original"]:
            raise RuntimeError("%s changed since the mutants were placed" % m["file"])
        backup = os.path.join(OUT, "backup-" + m["file"].replace("/", "_"))
        with open(backup, "wb") as f:
            f.write(self.original)
        with open(ACTIVE, "w") as f:
            json.dump({"file": m["file"], "backup": backup}, f)
        mutated = self.original[:m["start"]] + m["replacement"].encode() + self.original[m["end"]:]
        with open(self.path, "wb") as f:
            f.write(mutated)
        return self

    def __exit__(self, *exc):
        with open(self.path, "wb") as f:
            f.write(self.original)
        os.remove(ACTIVE)
        return False


def build(preset="native"):
    try:
        done = subprocess.run(["cmake", "--build", "--preset", preset, "--target"] + TARGETS, cwd=ROOT,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=BUILD_TIMEOUT)
    except subprocess.TimeoutExpired:
        return False, "the build took longer than %d s" % BUILD_TIMEOUT
    return done.returncode == 0, done.stdout.decode("utf-8", "replace")[-3000:]


def run_tests(deadline_seconds=TEST_TIMEOUT, folder=BUILD):
    """None when every test program passed, else what failed first."""
    deadline = time.monotonic() + deadline_seconds
    for target in TARGETS:
        left = deadline - time.monotonic()
        if left <= 0:
            return "timeout"
        try:
            done = subprocess.run([os.path.join(folder, target), "--gtest_fail_fast", "--gtest_brief=1"],
                                  cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=left,
                                  start_new_session=True)
        except subprocess.TimeoutExpired:
            return "%s: hung (more than %d s)" % (target, deadline_seconds)
        if done.returncode != 0:
            failed = re.findall(rb"\[  FAILED  \] (\S+)", done.stdout)
            what = failed[0].decode() if failed else "exit code %d" % done.returncode
            return "%s: %s" % (target, what)
    return None


# ---------------------------------------------------------------- the report


def accepted_list():
    accepted = {}
    if os.path.exists(ACCEPTED):
        with open(ACCEPTED) as f:
            for line in f:
                if line.strip() and not line.startswith("#") and " :: " in line:
                    key, reason = line.rstrip("\n").split(" :: ", 1)
                    accepted[key.strip()] = reason.strip()
    return accepted


def short(text, limit=70):
    text = squeeze(text)
    return text if len(text) <= limit else text[:limit - 3] + "..."


def write_report(results, header, finished):
    accepted = accepted_list()
    built = [r for r in results if r["outcome"] != "not built"]
    killed = [r for r in built if r["outcome"] == "killed"]
    survivors = [r for r in built if r["outcome"] == "survived"]
    listed = [r for r in survivors if r["key"] in accepted]
    score = 100.0 * len(killed) / len(built) if built else 0.0
    times = [r["seconds"] for r in results]
    lines = ["# Mutation report", ""] + header + [
        "- state: %s" % ("finished" if finished else "interrupted or running (%d done)" % len(results)),
        "- mutants run: %d; built: %d; not built (not counted): %d" % (
            len(results), len(built), len(results) - len(built)),
        "- killed: %d; survived: %d (of them named in scripts/mutation-survivors.txt: %d)" % (
            len(killed), len(survivors), len(listed)),
        "- **score: %.1f %% of the built mutants** (the listed survivors count as survivors)" % score,
        "- without the listed equivalents: %.1f %% (killed of the built mutants less the listed survivors)" % (
            100.0 * len(killed) / (len(built) - len(listed)) if len(built) > len(listed) else 0.0),
    ]
    if times:
        lines.append("- time per mutant: %.1f s on average (build and tests), %.0f s in all" % (
            sum(times) / len(times), sum(times)))
    lines += ["", "## Survivors", "", "| id | where | function | mutation | original | mutant | listed |",
              "|---|---|---|---|---|---|---|"]
    for r in survivors:
        reason = accepted.get(r["key"], "")
        lines.append("| %d | %s:%d | %s | %s | `%s` | `%s` | %s |" % (
            r["id"], r["file"], r["line"], r["function"], r["kind"], short(r["original"]).replace("|", "\\|"),
            short(r["replacement"]).replace("|", "\\|"), ("accepted: " + reason) if reason else "no"))
    lines += ["", "Keys of the survivors (for scripts/mutation-survivors.txt):", "", "```"]
    lines += [r["key"] for r in survivors]
    lines += ["```", "", "## All mutants run", "", "| id | where | mutation | original | mutant | outcome |",
              "|---|---|---|---|---|---|"]
    for r in results:
        lines.append("| %d | %s:%d | %s | `%s` | `%s` | %s |" % (
            r["id"], r["file"], r["line"], r["kind"], short(r["original"], 50).replace("|", "\\|"),
            short(r["replacement"], 50).replace("|", "\\|"),
            r["outcome"] + (" (%s)" % r["by"] if r.get("by") else "")))
    with open(os.path.join(OUT, "report.md"), "w") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(OUT, "results.json"), "w") as f:
        json.dump(results, f, indent=1)
    return score, len(built), len(survivors)


# ---------------------------------------------------------------- main


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("sample", nargs="?", type=int, help="how many mutants, sampled by the commit's hash")
    parser.add_argument("--ids", help="only these mutants (comma-separated ids, as --list shows them)")
    parser.add_argument("--file", help="only mutants in files whose path starts so")
    parser.add_argument("--rerun", metavar="RESULTS",
                        help="only the survivors of an earlier run (its results.json), found again by their keys")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--seed", help="the sample's seed (default: the commit hash)")
    options = parser.parse_args()

    os.makedirs(OUT, exist_ok=True)
    # SIGTERM and SIGHUP end the run the way Ctrl+C does, through the finally blocks.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    restore_leftover()

    if not os.path.exists(os.path.join(BUILD, "compile_commands.json")):
        subprocess.run(["cmake", "--preset", "native"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    mutants = all_mutants()
    if options.file:
        mutants = [m for m in mutants if m["file"].startswith(options.file)]
    if options.ids:
        wanted = {int(i) for i in options.ids.split(",") if i.strip()}
        mutants = [m for m in mutants if m["id"] in wanted]
    if options.rerun:
        with open(options.rerun) as f:
            wanted = {r["key"] for r in json.load(f) if r["outcome"] == "survived"}
        mutants = [m for m in mutants if m["key"] in wanted]
        log("%d of the %d survivors found again" % (len(mutants), len(wanted)))
    total = len(mutants)
    commit = subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, stdout=subprocess.PIPE,
                            text=True).stdout.strip()
    seed = options.seed or commit
    if options.sample is not None and options.sample < total:
        mutants = random.Random(seed).sample(mutants, options.sample)
    # One file after another: each file is recompiled once more when its original comes back.
    mutants.sort(key=lambda m: (m["file"], m["id"]))
    if options.list:
        for m in mutants:
            log("%4d %s:%d %-10s %s -> %s" % (m["id"], m["file"], m["line"], m["kind"], short(m["original"], 60),
                                              short(m["replacement"], 60)))
        log("%d mutants" % len(mutants))
        return 0

    by_kind = {}
    for m in mutants:
        by_kind[m["kind"]] = by_kind.get(m["kind"], 0) + 1
    header = ["- commit: %s" % commit,
              "- mutants placed: %d; run: %d%s" % (total, len(mutants), (" (a sample seeded by %s)" % seed)
                                                   if len(mutants) < total else " (all)"),
              "- by kind: " + ", ".join("%s %d" % kv for kv in sorted(by_kind.items())),
              "- tests: %s, each mutant within %d s; a survivor again under the sanitizers" % (
                  ", ".join(TARGETS), TEST_TIMEOUT)]

    log("building and running the tests on the unchanged program")
    if not os.path.exists(os.path.join(ASAN_BUILD, "build.ninja")):
        subprocess.run(["cmake", "--preset", "native-asan"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    sanitizers, _ = build("native-asan")
    if not sanitizers:
        log("the sanitizer build fails: survivors are not tried there")
    ok, output = build()
    if not ok:
        log(output)
        log("the unchanged program does not build")
        return 2
    started = time.monotonic()
    failed = run_tests(deadline_seconds=10 * TEST_TIMEOUT)
    if failed:
        log("the tests fail on the unchanged program: %s" % failed)
        return 2
    log("the tests pass in %.1f s; %d mutants to run" % (time.monotonic() - started, len(mutants)))

    results = []
    finished = False
    try:
        for number, m in enumerate(mutants, 1):
            began = time.monotonic()
            with Applied(m):
                built, _ = build()
                by = run_tests() if built else None
                # A survivor goes through the sanitizer build too, as the
                # test command runs the same tests there: a mutant that reads
                # or writes past a buffer is caught there.
                if built and not by and sanitizers:
                    sanitized, _ = build("native-asan")
                    by = run_tests(SANITIZED_TIMEOUT, ASAN_BUILD) if sanitized else None
                    by = ("under the sanitizers: " + by) if by else None
            outcome = "not built" if not built else ("killed" if by else "survived")
            result = dict(m, outcome=outcome, by=by, seconds=round(time.monotonic() - began, 1))
            results.append(result)
            log("[%d/%d] %-9s %s:%d %s: %s -> %s%s" % (number, len(mutants), outcome, m["file"], m["line"],
                                                     m["kind"], short(m["original"], 50),
                                                     short(m["replacement"], 50), (" (%s)" % by) if by else ""))
            write_report(results, header, False)
        finished = True
    except KeyboardInterrupt:
        log("interrupted: the source is restored")
    finally:
        score, built, survivors = write_report(results, header, finished)
        log("score %.1f %% of %d built mutants, %d survivors; report: %s" % (
            score, built, survivors, os.path.relpath(os.path.join(OUT, "report.md"), ROOT)))
    # The builds again match the source.
    build()
    build("native-asan")
    return 0 if finished else 130


if __name__ == "__main__":
    sys.exit(main())
