#!/usr/bin/env python3
"""Splits a callgrind profile's instruction count (Ir) by object file.

Usage: callgrind_split.py PROFILE [FRAMES]

Prints every object's own (self) instructions, largest first, the total and,
given FRAMES, the same per frame. The program's own code is the object named
like the profiled executable (its libraries are linked in statically);
everything else is the GL stack, GLUT, X and the C/C++ runtime.
"""
import re
import sys
from collections import defaultdict


def self_cost_by_object(path):
    names = {"ob": {}, "fn": {}}
    totals = defaultdict(int)
    current_object = "?"
    skip_next_cost = False  # the line after calls= is the callee's inclusive cost
    executable = None
    position = re.compile(r"^(ob|fl|fi|fe|fn|cob|cfi|cfl|cfn)=(?:\((\d+)\))?\s*(.*)$")
    with open(path) as profile:
        for line in profile:
            line = line.rstrip("\n")
            if not line:
                continue
            if line.startswith("cmd:"):
                executable = line[4:].split()[0].strip()
                continue
            match = position.match(line)
            if match:
                kind, ident, name = match.groups()
                if kind in ("ob", "cob"):
                    if ident is not None and name:
                        names["ob"][ident] = name
                    resolved = names["ob"].get(ident, name) if ident is not None else name
                    if kind == "ob":
                        current_object = resolved
                continue
            if line.startswith("calls="):
                skip_next_cost = True
                continue
            if line[0].isdigit() or line[0] in "+-*":
                fields = line.split()
                if skip_next_cost:
                    skip_next_cost = False
                    continue
                if len(fields) >= 2:
                    totals[current_object] += int(fields[1])
    return totals, executable


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    totals, executable = self_cost_by_object(sys.argv[1])
    frames = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    total = sum(totals.values())
    own = sum(v for k, v in totals.items() if executable and k.endswith(executable.split("/")[-1]))
    for obj, cost in sorted(totals.items(), key=lambda item: -item[1]):
        per_frame = f"{cost / frames:14,.0f}/frame" if frames else ""
        print(f"{cost:16,d} {100.0 * cost / total:6.2f}%  {per_frame}  {obj}")
    print(f"{total:16,d} total" + (f"  {total / frames:,.0f}/frame" if frames else ""))
    print(f"own_code_ir {own} total_ir {total}" +
          (f" own_per_frame {own / frames:.0f} total_per_frame {total / frames:.0f}" if frames else ""))


if __name__ == "__main__":
    main()
