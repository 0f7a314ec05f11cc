#!/usr/bin/env python3
"""Measures tarvek-export's multipoint map against a simulated population.

    bench/multipoint_quality.py POSITIONS TRUTH [--errors CALLS PLANTED MAP]
                                [--summary STDERR]

POSITIONS is `tarvek-export positions` output, TRUTH the table f2sim writes
with --truth. With --errors: CALLS is `tarvek-export errors` output, PLANTED
the table f2sim writes with --errors, MAP the map file (for "*" genotypes and
the individual order). With --summary: the export's standard error, whose
"error rate" figures are read. Prints one line of key=value figures:

  groups        groups of at least 10 markers, and their median, lowest and
                highest ratio of estimated to true length (true length: the
                span of the true positions of the group's markers on its
                majority chromosome)
  error_rate    median estimated error rate of those groups
  precision     share of the calls that are planted errors
  recall        share of the planted errors at codominant mapped markers that
                are called (or were flagged "*" by tarvek)

--thresholds 2,2.5,3 gives precision and recall of the calls at each of
those error LODs (the calls table must hold them: export with a lower
--min-lod).
"""

import re
import statistics
import sys


def read_table(path):
    with open(path) as f:
        lines = f.read().split("\n")
    head = lines[0].split("\t")
    return [dict(zip(head, l.split("\t"))) for l in lines[1:] if l]


def main(argv):
    args = argv[1:]
    positions, truth = args[0], args[1]
    rest = args[2:]
    calls = planted = map_file = summary = None
    thresholds = []
    while rest:
        if rest[0] == "--errors":
            calls, planted, map_file = rest[1:4]
            rest = rest[4:]
        elif rest[0] == "--thresholds":
            thresholds = [float(x) for x in rest[1].split(",")]
            rest = rest[2:]
        elif rest[0] == "--summary":
            summary = rest[1]
            rest = rest[2:]
        else:
            sys.exit("unknown argument " + rest[0])
    true = {r["marker"]: r for r in read_table(truth)}
    groups = {}
    for r in read_table(positions):
        groups.setdefault(r["group"], []).append(r)
    ratios = []
    for g, rows in groups.items():
        if len(rows) < 10:
            continue
        chroms = {}
        for r in rows:
            t = true.get(r["marker"])
            if t:
                chroms.setdefault(t["chromosome"], []).append(float(t["position"]))
        if not chroms:
            continue
        pos = max(chroms.values(), key=len)
        true_len = max(pos) - min(pos)
        seg_len = {}
        for r in rows:
            seg_len[r["segment"]] = max(seg_len.get(r["segment"], 0.0), float(r["position_cM"]))
        est = sum(seg_len.values())
        if true_len > 0:
            ratios.append(est / true_len)
    out = []
    if ratios:
        out.append("groups=%d median=%.3f lowest=%.3f highest=%.3f"
                   % (len(ratios), statistics.median(ratios), min(ratios), max(ratios)))
    if summary:
        rates = []
        with open(summary) as f:
            for line in f:
                found = re.search(r"group \d+: (\d+) markers?, error rate ([0-9.]+)", line)
                if found and int(found.group(1)) >= 10:
                    rates.append(float(found.group(2)))
        if rates:
            out.append("error_rate=%.4f" % statistics.median(rates))
    if calls:
        dominant = {m for m, r in true.items() if r.get("dominant") == "1"}
        mapped, star = {}, set()
        order = []
        with open(map_file) as f:
            in_groups = False
            for line in f:
                line = line.rstrip("\n")
                if line.startswith(";indOrdr"):
                    order = [int(x) for x in line.split("\t;")[0].split("\t")[1:]]
                    in_groups = True
                    continue
                if line.startswith(";bad segregation") or line.startswith(";excessive"):
                    break
                if in_groups and line and not line.startswith(";"):
                    fields = line.split("\t")
                    mapped[fields[0]] = True
                    for c, x in enumerate(fields[1:1 + len(order)]):
                        if x == "*":
                            star.add((fields[0], order[c] + 1))
        call_rows = read_table(calls)
        plant = {(r["marker"], int(r["individual"])) for r in read_table(planted)
                 if r["marker"] in mapped}
        plant_codominant = {p for p in plant if p[0] not in dominant}
        for threshold in thresholds or [None]:
            called = {(r["marker"], int(r["individual"])) for r in call_rows
                      if threshold is None or float(r["error_lod"]) >= threshold}
            true_calls = len(called & plant)
            found = len({p for p in plant_codominant if p in called or p in star})
            label = "" if threshold is None else "@%g" % threshold
            out.append("precision%s=%.3f recall%s=%.3f" % (
                label, true_calls / len(called) if called else float("nan"),
                label, found / len(plant_codominant) if plant_codominant else float("nan")))
    print(" ".join(out))


if __name__ == "__main__":
    main(sys.argv)
