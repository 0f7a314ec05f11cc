#!/usr/bin/env python3
"""Compares a tarvek map file with the true map of a simulated population.

    bench/map_quality.py MAP_FILE TRUTH_FILE [--per-group]

TRUTH_FILE is the table f2sim writes with --truth (marker, chromosome,
position, switched, dominant). Prints one line of key=value figures:

  groups      linkage groups in the map file (all sizes)
  mapped      true markers placed in a group, and of how many
  purity      share of the grouped markers that belong to their group's
              majority chromosome (1 = every group holds one chromosome)
  min_purity  the lowest purity of a single group of two or more markers
  split       chromosomes whose markers are spread over more than one group
              of two or more markers
  spearman    mean |Spearman correlation| between map order and true order
              over groups of three or more markers, weighted by the number of
              the group's majority-chromosome markers (the sign only tells the
              group's orientation)
  min_spearman  the lowest |Spearman| of those groups
  ari         adjusted Rand index of the groups (each group, single markers
              included, one cluster) against the true chromosomes, over the
              true markers placed in the map (1 = the groups are exactly the
              chromosomes)
  length      mean length in cM of the groups of three or more markers: the
              sum of their dist column (the true chromosomes are as long as
              f2sim's --length, 150 cM by default)
  switched    with a ";switched alleles" line: flipped markers that were truly
              switched / flipped in all / truly switched in all (regular
              markers only)

--per-group adds one line per group: size, majority chromosome, purity and
|Spearman|.
"""

import sys


def read_map(path):
    """Groups of marker names in map order, their lengths in cM, and the
    names on the ";switched alleles" line."""
    groups, current, switched, lengths, length = [], [], [], [], 0.0
    with open(path) as f:
        lines = f.read().split("\n")
    for line in lines[4:]:
        if line.startswith(";bad segregation") or line.startswith(";excessive missing"):
            break
        if line.startswith(";switched alleles"):
            switched = line.split("\t")[1:]
            continue
        if line == ";":
            groups.append(current)
            lengths.append(length)
            current, length = [], 0.0
            continue
        if len(line) < 2 or line[0] in ";\t":
            continue
        current.append(line.split("\t", 1)[0])
        if "\t;\t" in line:
            columns = line.split("\t;\t", 1)[1].split("\t")
            # Empty where no distance is printed (a marker carrying text
            # behind its columns writes them all).
            if len(columns) >= 3 and columns[2].strip():
                length += float(columns[2])
    if current:
        groups.append(current)
        lengths.append(length)
    return groups, lengths, switched


def read_truth(path):
    truth = {}
    with open(path) as f:
        header = f.readline().rstrip("\n").split("\t")
        col = {name: k for k, name in enumerate(header)}
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 3:
                continue
            truth[fields[0]] = (int(fields[col["chromosome"]]), float(fields[col["position"]]),
                                "switched" in col and fields[col["switched"]] == "1")
    return truth


def ranks(values):
    order = sorted(range(len(values)), key=lambda k: values[k])
    r = [0.0] * len(values)
    k = 0
    while k < len(order):
        end = k
        while end + 1 < len(order) and values[order[end + 1]] == values[order[k]]:
            end += 1
        for m in range(k, end + 1):
            r[order[m]] = (k + end) / 2.0
        k = end + 1
    return r


def spearman(xs, ys):
    rx, ry = ranks(xs), ranks(ys)
    n = len(xs)
    mx, my = sum(rx) / n, sum(ry) / n
    sxy = sum((a - mx) * (b - my) for a, b in zip(rx, ry))
    sxx = sum((a - mx) ** 2 for a in rx)
    syy = sum((b - my) ** 2 for b in ry)
    if sxx == 0 or syy == 0:
        return 0.0
    return sxy / (sxx * syy) ** 0.5


def adjusted_rand(labels_a, labels_b):
    """Adjusted Rand index of two labellings of the same items."""
    def pairs(k):
        return k * (k - 1) / 2.0
    n = len(labels_a)
    if n < 2:
        return 1.0
    joint, count_a, count_b = {}, {}, {}
    for a, b in zip(labels_a, labels_b):
        joint[(a, b)] = joint.get((a, b), 0) + 1
        count_a[a] = count_a.get(a, 0) + 1
        count_b[b] = count_b.get(b, 0) + 1
    index = sum(pairs(k) for k in joint.values())
    sum_a = sum(pairs(k) for k in count_a.values())
    sum_b = sum(pairs(k) for k in count_b.values())
    expected = sum_a * sum_b / pairs(n)
    top = (sum_a + sum_b) / 2.0
    if top == expected:
        return 1.0
    return (index - expected) / (top - expected)


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    if len(args) != 2:
        sys.stderr.write(__doc__)
        return 2
    groups, lengths, switched = read_map(args[0])
    truth = read_truth(args[1])

    mapped = grouped = majority_total = 0
    min_purity = 1.0
    spread = {}
    weighted = weight = 0.0
    min_rho = 1.0
    details = []
    long_groups = [lengths[g] for g, names in enumerate(groups) if len(names) >= 3]
    for g, names in enumerate(groups):
        known = [n for n in names if n in truth]
        mapped += len(known)
        if not known:
            details.append((g + 1, len(names), "-", 0.0, None))
            continue
        counts = {}
        for n in known:
            counts[truth[n][0]] = counts.get(truth[n][0], 0) + 1
        chrom = min(counts, key=lambda c: (-counts[c], c))
        purity = counts[chrom] / len(known)
        rho = None
        if len(names) >= 2:
            grouped += len(known)
            majority_total += counts[chrom]
            min_purity = min(min_purity, purity)
            for c in counts:
                spread.setdefault(c, 0)
                spread[c] += 1
        same = [n for n in known if truth[n][0] == chrom]
        if len(same) >= 3:
            rho = abs(spearman(list(range(len(same))), [truth[n][1] for n in same]))
            weighted += rho * len(same)
            weight += len(same)
            min_rho = min(min_rho, rho)
        details.append((g + 1, len(names), chrom, purity, rho))

    out = [
        "groups=%d" % len(groups),
        "mapped=%d/%d" % (mapped, len(truth)),
        "purity=%.4f" % (majority_total / grouped if grouped else 0.0),
        "min_purity=%.4f" % min_purity,
        "split=%d" % sum(1 for c in spread if spread[c] > 1),
        "spearman=%.4f" % (weighted / weight if weight else 0.0),
        "min_spearman=%.4f" % (min_rho if weight else 0.0),
        "length=%.1f" % (sum(long_groups) / len(long_groups) if long_groups else 0.0),
    ]
    placed = [(g, truth[n][0]) for g, names in enumerate(groups) for n in names if n in truth]
    out.append("ari=%.4f" % adjusted_rand([p[0] for p in placed], [p[1] for p in placed]))
    if switched or any(t[2] for t in truth.values()):
        true_switched = {n for n, t in truth.items() if t[2]}
        hits = sum(1 for n in switched if n in true_switched)
        out.append("switched=%d/%d/%d" % (hits, len(switched), len(true_switched)))
    print(" ".join(out))
    if "--per-group" in argv:
        for g, size, chrom, purity, rho in details:
            print("group %d size=%d chromosome=%s purity=%.4f spearman=%s length=%.1f"
                  % (g, size, chrom, purity, "-" if rho is None else "%.4f" % rho,
                     lengths[g - 1]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
