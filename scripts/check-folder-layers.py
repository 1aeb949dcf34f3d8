#!/usr/bin/env python3
"""Fails when a source folder includes a folder of a higher layer, or when folders include
each other round in a loop (two or more, in any layer).

    check-folder-layers.py [TREE]      (TREE: the checkout, by default the one this script is in)

A folder is the directory of a source file; it belongs to the layer of the longest folder
named in LAYERS that contains it. An include is resolved as the compiler would: beside the
including file, then from the tree's root, then from tests/; a header the tree does not
hold (the SDK, the system) is left out, except that one generated into the build (no file
of that name in the tree) still counts for the tree folder it is named after.
"""
import os
import re
import sys

# Lowest first. A folder may include its own layer and the ones before it.
LAYERS = [
    ("platform", ["platform"]),
    # The signals stand on the standard library alone, so the demos, benchmarks and tests share them.
    ("framework core and signals", ["framework/core", "signals"]),
    ("web view", ["webview"]),
    ("editor bases and VST 3 binding", ["framework", "vst3"]),
    ("plug-ins", ["product", "rack", "tempo", "duck"]),
    ("host, tools and tests", ["host", "bench", "fuzz", "tests", "demo"]),
]

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]')
INCLUDE_ROOTS = ("", "tests")


def layer_of(folder):
    """(index, name) of the folder's layer, or None when no listed folder contains it."""
    best = None
    for index, (name, prefixes) in enumerate(LAYERS):
        for prefix in prefixes:
            if folder == prefix or folder.startswith(prefix + "/"):
                if best is None or len(prefix) > best[2]:
                    best = (index, name, len(prefix))
    return None if best is None else best[:2]


def source_files(tree):
    """Paths relative to the tree, with '/' separators; build and hidden folders are skipped."""
    found = []
    for directory, subdirectories, files in os.walk(tree):
        relative = os.path.relpath(directory, tree)
        relative = "" if relative == "." else relative.replace(os.sep, "/")
        subdirectories[:] = sorted(d for d in subdirectories
                                   if not d.startswith(".") and not (relative == "" and d.startswith("build")))
        found += [(relative + "/" if relative else "") + f for f in sorted(files) if f.endswith(SOURCE_SUFFIXES)]
    return found


def resolve(tree, including, included, files, folders):
    """The tree folder an include names, or None when it is outside the tree."""
    candidates = [os.path.normpath(os.path.join(os.path.dirname(including), included)).replace(os.sep, "/")]
    candidates += [os.path.normpath(os.path.join(root, included)).replace(os.sep, "/") for root in INCLUDE_ROOTS]
    for candidate in candidates:
        if candidate in files:
            return os.path.dirname(candidate)
    # A folder's own include path: a name only one file of the tree ends with.
    ending = [f for f in files if f.endswith("/" + included)]
    if len(ending) == 1:
        return os.path.dirname(ending[0])
    # Generated into the build under a tree folder's name.
    folder = os.path.dirname(included)
    if not ending and folder in folders:
        return folder
    return None


def folder_includes(tree):
    """{(from folder, to folder): first 'file:line' that includes across them}."""
    files = set(source_files(tree))
    folders = {os.path.dirname(f) for f in files}
    edges = {}
    for path in sorted(files):
        with open(os.path.join(tree, path), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = resolve(tree, path, match.group(1), files, folders)
                here = os.path.dirname(path)
                if target is not None and target != here:
                    edges.setdefault((here, target), "%s:%d includes %s" % (path, number, match.group(1)))
    return folders, edges


def loops(edges):
    """Each set of folders that reach each other (Tarjan), as a list of folder lists."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, []).append(b)
        graph.setdefault(b, [])
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for succ in sorted(graph[node]):
            if succ not in index:
                visit(succ)
                low[node] = min(low[node], low[succ])
            elif succ in on_stack:
                low[node] = min(low[node], index[succ])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def problems(tree):
    folders, edges = folder_includes(tree)
    found = []
    for folder in sorted(folders):
        if layer_of(folder) is None:
            found.append("%s/ is in no layer: add it to LAYERS in %s" % (folder, os.path.basename(__file__)))
    for (a, b), where in sorted(edges.items()):
        la, lb = layer_of(a), layer_of(b)
        if la is not None and lb is not None and lb[0] > la[0]:
            found.append("%s: %s/ (%s) may not include %s/ (%s, a higher layer)" % (where, a, la[1], b, lb[1]))
    for component in loops(edges):
        members = set(component)
        lines = ["  " + where for (a, b), where in sorted(edges.items()) if a in members and b in members]
        found.append("folder loop between %s:\n%s" % (", ".join(f + "/" for f in component), "\n".join(lines)))
    return found, len(folders), len(edges)


def main(argv):
    if len(argv) > 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    tree = argv[1] if len(argv) == 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    if not os.path.isdir(tree):
        print("no such folder: %s" % tree, file=sys.stderr)
        return 2
    found, folder_count, edge_count = problems(tree)
    for problem in found:
        print(problem)
    if found:
        return 1
    print("folder layers hold: %d folders, %d folder-to-folder includes" % (folder_count, edge_count))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
