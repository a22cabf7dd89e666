"""scripts/bench-compare: how it reads the benchmarks' outputs and what it makes of the rounds.

Run by ctest (label unit); by hand: python3 tests/scripts/bench_compare_test.py
"""

import json
import re
import sys
import types
import unittest
from pathlib import Path

# The script has no .py name to import it by: its text is run as a module of its own.
SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "bench-compare"
bc = types.ModuleType("bench_compare")
bc.__file__ = str(SCRIPT)
sys.modules["bench_compare"] = bc
exec(compile(SCRIPT.read_text(encoding="utf-8"), str(SCRIPT), "exec"), bc.__dict__)

# Outputs as the benchmarks print them (shortened).
STARTUP = """\
start to running event loop            n=2  median    48.4 ms  min    40.7  p90    56.2  max    56.2  stddev   10.9
second start handed over, ended        n=2  median    23.4 ms  min    21.8  p90    25.0  max    25.0  stddev    2.2
the built-in skin adds (median against median): -2.4 ms, -17.9 ms with 65,535 contacts
"""

CONVERSATION = """\
Conversation benchmark: platform offscreen, open-file limit 20000, loadavg 3.91 2.41 1.45 3/154 19194, 2 processors

[keys] 500 Realtime keys typed into tab A, 20 ms apart; loadavg 3.91 2.41 1.45 5/145 19481, 2 processors
  key -> char in B's transcript                    n=500   median    0.695  p99    4.606  min    0.502  max    5.258 ms

[call] 50 calls to a port that refuses (bound, not listening); loadavg 3.77 2.43 1.47 3/140 19682, 2 processors
  RequestCall -> connecting line in transcript     n=50    median    5.585  p99   12.510  min    3.915  max   12.510 ms

[call] 50 calls to a port that listens (a second copy); loadavg 3.71 2.44 1.48 4/143 19749, 2 processors
  RequestCall -> connecting line in transcript     n=50    median    5.794  p99   13.443  min    5.211  max   13.443 ms

[callers] 1000 raw callers connecting at once; loadavg 3.71 2.44 1.48 3/140 19863, 2 processors
  connected and greeted by all callers after 48.8 ms; all greeted back after 1183.6 ms (median caller 1070.5 ms); not greeted: 0

[idle] 100 idle conversations (raw callers, greeted) for 10 s; loadavg 3.71 2.44 1.48 4/140 20898, 2 processors
  no conversations       ( 5 s):  0.013 % of one core,     1.3 context switches/s

figure                                                     measured               goal
1 MB Realtime stream in transcript                         361.5 ms               <= 1000 ms  met
raw peer key -> transcript, median / p99                   0.099 / 3.888 ms
"""

PAINT = """\
native         repaint n=40 median   1.097 ms  p90   1.303 ms  min   1.007 ms;  first after the style changed: median   1.778 ms
skinned repaint: 0.62 x native (medians); pictures composed per round: 10
"""

EXIT = """\
run 1: one more caller greeted after 3.27 ms with 1-20 open, 3.62 ms with 30-49 open (medians of 20); a crowd of 9 greeted after 12.6 ms
"""


def gbench(*entries):
    return json.dumps({"context": {}, "benchmarks": list(entries)})


def entry(name, real, cpu, run_type="iteration", aggregate=None):
    result = {"name": name, "run_name": name, "run_type": run_type, "real_time": real,
              "cpu_time": cpu, "time_unit": "ms"}
    if aggregate:
        result["name"] = f"{name}_{aggregate}"
        result["aggregate_name"] = aggregate
    return result


def figures(output, parse=None):
    return {f.name: (f.value, f.unit) for f in (parse or bc.parse_text)(output)}


class ReadingOutputs(unittest.TestCase):
    def test_text_outputs(self):
        cases = [
            # (output, figure name, value, unit)
            (STARTUP, "start to running event loop", 48.4, "ms"),
            (STARTUP, "start to running event loop, p90", 56.2, "ms"),
            (STARTUP, "second start handed over, ended", 23.4, "ms"),
            (STARTUP, "the built-in skin adds (median against median): * ms, # ms with # contacts",
             -2.4, "ms"),
            (STARTUP, "the built-in skin adds (median against median): # ms, # ms with * contacts",
             65535, ""),
            (CONVERSATION, "keys: key -> char in B's transcript", 0.695, "ms"),
            (CONVERSATION, "keys: key -> char in B's transcript, p99", 4.606, "ms"),
            (CONVERSATION, "keys: # Realtime keys typed into tab A, * ms apart", 20, "ms"),
            (CONVERSATION, "call: RequestCall -> connecting line in transcript", 5.585, "ms"),
            (CONVERSATION, "call: RequestCall -> connecting line in transcript (2)", 5.794, "ms"),
            (CONVERSATION, "callers: all greeted back after * ms (median caller # ms)", 1183.6,
             "ms"),
            (CONVERSATION, "callers: all greeted back after # ms (median caller * ms)", 1070.5,
             "ms"),
            (CONVERSATION, "callers: not greeted: *", 0, ""),
            (CONVERSATION, "idle: no conversations (# s): * % of one core, # context switches/s",
             0.013, "%"),
            (CONVERSATION, "1 MB Realtime stream in transcript", 361.5, "ms"),
            (CONVERSATION, "raw peer key -> transcript, median / p99 # / * ms", 3.888, "ms"),
            (CONVERSATION, "Conversation benchmark: platform offscreen, open-file limit *, loadavg",
             20000, ""),
            (PAINT, "native repaint", 1.097, "ms"),
            (PAINT, "native repaint / first after the style changed", 1.778, "ms"),
            (EXIT, "run #: one more caller greeted after * ms with 1-20 open, # ms with 30-49 open "
                   "(medians of #)", 3.27, "ms"),
            (EXIT, "a crowd of # greeted after * ms", 12.6, "ms"),
            (PAINT, "skinned repaint: * x native (medians)", 0.62, "x"),
        ]
        for output, name, value, unit in cases:
            with self.subTest(name=name):
                self.assertEqual(figures(output).get(name), (value, unit))

    def test_text_outputs_leave_out(self):
        names = list(figures(STARTUP + CONVERSATION + PAINT))
        for unwanted in [r"\bmin\b", r"\bmax\b", r"stddev", r"n=", r"goal", r"processors",
                         r"<="]:
            with self.subTest(unwanted=unwanted):
                self.assertEqual([n for n in names if re.search(unwanted, n)], [])

    def test_names_do_not_depend_on_column_padding(self):
        narrow = "  no conversations       ( 5 s):  0.013 % of one core\n"
        wide = "  no conversations       (10 s):  0.013 % of one core\n"
        self.assertEqual(list(figures(narrow)), list(figures(wide)))

    def test_google_benchmark_report(self):
        cases = [
            ("single runs", gbench(entry("BM_Decode", 2.0, 1.5), entry("BM_Encode", 8.0, 6.0)),
             {"BM_Decode (real)": (2.0, "ms"), "BM_Decode (cpu)": (1.5, "ms"),
              "BM_Encode (real)": (8.0, "ms"), "BM_Encode (cpu)": (6.0, "ms")}),
            ("repetitions count by their median",
             gbench(entry("BM_Decode", 2.0, 1.0), entry("BM_Decode", 9.0, 3.0),
                    entry("BM_Decode", 3.0, 2.0), entry("BM_Decode", 2.5, 2.0, "aggregate",
                                                        "mean")),
             {"BM_Decode (real)": (3.0, "ms"), "BM_Decode (cpu)": (2.0, "ms")}),
            ("only aggregates reported",
             gbench(entry("BM_Decode", 2.5, 2.0, "aggregate", "mean"),
                    entry("BM_Decode", 2.0, 1.0, "aggregate", "median")),
             {"BM_Decode (real)": (2.0, "ms"), "BM_Decode (cpu)": (1.0, "ms")}),
        ]
        for what, output, expected in cases:
            with self.subTest(what):
                self.assertEqual(figures(output, bc.parse_gbench), expected)


def rounds(*values):
    """One figure "f" in ms per round; None: the round did not print it."""
    return [None if v is None else [bc.Figure("f", v, "ms")] for v in values]


class ComparingRounds(unittest.TestCase):
    def test_summary(self):
        cases = [
            # (A's rounds, B's rounds, medians, ranges, ratio, paired range, apart)
            ((10, 12, 11, 30), (5, 6, 5.5, 7), (11.5, 5.75), ((10, 30), (5, 7)), 0.5,
             (0.5, 7 / 30), True),
            ((10, 20), (5, 40), (15, 22.5), ((10, 20), (5, 40)), 1.5, (0.5, 2.0), False),
            # A side that lacked the figure in a round: the others still count, pairs skip it.
            ((10, None, 12, 14), (20, 22, None, 28), (12, 22), ((10, 14), (20, 28)), 22 / 12,
             (2.0, 2.0), False),
            # Apart, but too few runs to say so.
            ((1, 2, 3), (7, 8, 9), (2, 8), ((1, 3), (7, 9)), 4.0, (3.0, 7.0), False),
        ]
        for a, b, medians, ranges, ratio, paired, apart in cases:
            with self.subTest(a=a, b=b):
                entry, = bc.collect(rounds(*a), rounds(*b))
                s = bc.summarise(entry)
                self.assertEqual((s.median_a, s.median_b), medians)
                self.assertEqual((s.range_a, s.range_b), ranges)
                self.assertAlmostEqual(s.ratio, ratio)
                self.assertAlmostEqual(s.paired[0], min(paired))
                self.assertAlmostEqual(s.paired[1], max(paired))
                self.assertEqual(s.apart, apart)

    def test_figure_of_one_side_only(self):
        entry, = bc.collect(rounds(4, 5), [[], []])
        s = bc.summarise(entry)
        self.assertEqual((s.median_a, s.median_b, s.ratio, s.paired), (4.5, None, None, None))
        line, = [line for line in bc.table([entry], False, None) if line.lstrip().startswith("f ")]
        self.assertRegex(line, r"4\.500 \[4\.000\.\.5\.000\]\s+-\s+-")

    def test_table_hides_what_never_changed_and_filters(self):
        series = bc.collect(
            [[bc.Figure("count", 500), bc.Figure("stream", 360, "ms")]] * 2,
            [[bc.Figure("count", 500), bc.Figure("stream", 180, "ms")]] * 2)
        shown = "\n".join(bc.table(series, False, None))
        self.assertIn("stream", shown)
        self.assertNotIn("count", shown)
        self.assertIn("1 figure(s) with the same value", shown)
        self.assertIn("count", "\n".join(bc.table(series, True, None)))
        self.assertNotIn("stream", "\n".join(bc.table(series, True, re.compile("count"))))
        line, = [line for line in shown.splitlines() if "stream" in line]
        self.assertRegex(line, r"360\.0 \[360\.0\.\.360\.0\]\s+180\.0 \[180\.0\.\.180\.0\]\s+0\.50")


if __name__ == "__main__":
    unittest.main()
