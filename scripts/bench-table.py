#!/usr/bin/env python3
"""The table scripts/bench prints: medians with min and max of each
measurement, and the ratios against its baseline.

Usage: scripts/bench-table.py SAMPLES CORES
  SAMPLES  the samples, one a line: measure, side (subject or baseline),
           round, value (nanoseconds; kB for the -rss measures), tab-separated
  CORES    the machine's cores, for the last line
"""
import statistics, sys
from collections import defaultdict

samples = defaultdict(dict)
for line in open(sys.argv[1]):
    measure, side, rnd, ns = line.split("\t")
    samples[(measure, side)][int(rnd)] = int(ns)

def ms(ns):
    return f"{ns / 1e6:.3f}" if ns < 1e6 else f"{ns / 1e6:.1f}"

def summary(values, unit=ms):
    values = list(values.values())
    return f"{unit(statistics.median(values))} [{unit(min(values))}..{unit(max(values))}]"

def mb(kb):
    return f"{kb / 1024:.1f}"

def ratio(a, b):
    ratios = [a[r] / b[r] for r in sorted(a) if r in b]
    return statistics.median(ratios), f"{statistics.median(ratios):.2f} [{min(ratios):.2f}..{max(ratios):.2f}]"

def row(name, subject, baseline, ratio_text, goal):
    print(f"{name:<8} {subject:<46} {baseline:<46} {ratio_text:<18} {goal}")

row("measure", "subject, ms median [min..max]", "baseline, ms median [min..max]", "ratio [min..max]", "goal")
goals = {"launch": 1.05, "real": 1.00, "signed": 1.03, "library": 1.00, "load": 0.70, "scan": 2.00}
names = {
    "launch": ("Tavelin (dist layout)", "java -cp client.jar"),
    "real": ("Tavelin, 500 of 5,000 classes", "java -cp client.jar, same main"),
    "signed": ("the same, signed and trusted", "the same, unsigned, no trust"),
    "library": ("Tavelin, Log4j 2 client", "java -cp client + Log4j jars"),
    "load": ("package loader", "URLClassLoader over jar"),
    "scan": ("100 packages of 50 MB", "100 packages of 50 KB"),
}
for measure in ("launch", "real", "signed", "library", "load", "scan"):
    a, b = samples[(measure, "subject")], samples[(measure, "baseline")]
    median, text = ratio(a, b)
    verdict = "met" if median <= goals[measure] else "MISSED"
    row(measure, f"{names[measure][0]} {summary(a)}", f"{names[measure][1]} {summary(b)}", text,
        f"<= {goals[measure]:.2f} {verdict}")
    if measure in ("launch", "real", "signed", "library"):
        ra, rb = samples[(measure + "-rss", "subject")], samples[(measure + "-rss", "baseline")]
        median, text = ratio(ra, rb)
        row("  memory", f"peak RSS, MB {summary(ra, mb)}", f"peak RSS, MB {summary(rb, mb)}", text,
            f"<= 1.10 {'met' if median <= 1.10 else 'MISSED'}")
    if measure == "launch":
        f = samples[("floor", "baseline")]
        row("  floor", "(the same Tavelin runs)", f"java -cp, main opens 1 AES block {summary(f)}",
            ratio(a, f)[1], "(reference)")
    if measure == "load":
        w = samples[("warm", "subject")]
        row("  warm", f"cipher started first {summary(w)}", "(the same jar runs)", ratio(w, b)[1], "(reference)")
        m = samples[("memory", "baseline")]
        row("  floor", f"plain ClassLoader, bytes in memory {summary(m)}", "(the same jar runs)", ratio(m, b)[1],
            "(reference)")
d = samples[("decode", "subject")]
verdict = "met" if statistics.median(d.values()) <= 1e6 else "MISSED"
row("decode", f"embedded class text {summary(d)}", "(absolute, per decode)", "", f"<= 1 ms {verdict}")
print(f"{len(d)} rounds, {sys.argv[2]} cores. launch, real, signed, library: whole-process wall time (memory: its peak resident set); load: 5,000 classes, timed "
      "inside fresh VMs; scan: timed inside fresh VMs after one warm-up scan; decode: wall time per decode.")
