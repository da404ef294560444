#!/usr/bin/env python3
"""Times pibgen against the libxml2 parse floor in alternating pairs and prints a table.

For each field count it generates a description (once, cached in the work folder), then runs
the floor and pibgen alternately, floor then pibgen, for a number of pairs. Runs of one
program in a row drift with the load of the machine; the two runs of a pair see nearly the
same load, so the ratio within each pair is what is reported: its median and its range
(lowest to highest). Also reported: the median wall time and the peak resident memory of
each program. The Python peer runs once per file and pibgen's image must equal its image
byte for byte; on the smallest file the traces must match too. Standard output of the
timed runs goes to /dev/null. With --baseline, another pibgen binary (say one built from an
earlier commit) runs in each round too, after pibgen, and gets its own row. With --pin CPU,
every timed run is pinned to that one core (taskset), as on a loaded machine or a one-CPU
container. Ends by judging pibgen against its targets.

    bench/compare.py [--build build] [--work /tmp/pibgen-bench]
                     [--fields 50000,300000,1000000,2000000] [--pairs 9] [--pin 0]
                     [--no-peer] [--baseline PATH]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))

LAUNCH = 0.0  # wall time of starting a program that does nothing, taken off every run
RATIO_LIMIT = 1.5  # pibgen's wall time over the floor's, median of the pairs
PEAK_LIMIT_MB = 16.0


def measure(command):
    """Runs command; returns (wall s, peak resident MiB).

    /usr/bin/time reports the peak: a child forked straight from Python would count the
    interpreter's own pages, which it holds until exec, as its peak. The wall time is taken
    here, less the cost of starting a program at all (LAUNCH).
    """
    report = os.path.join(ARGS.work, 'time.txt')
    pin = ['taskset', '-c', str(ARGS.pin)] if ARGS.pin is not None else []
    begin = time.perf_counter()
    status = subprocess.run(pin + ['/usr/bin/time', '-f', '%M', '-o', report] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    wall = time.perf_counter() - begin
    if status != 0:
        sys.exit('failed (status %d): %s' % (status, ' '.join(command)))
    with open(report) as f:
        peak = f.read().split()[-1]
    return max(wall - LAUNCH, 0.0), int(peak) / 1024


def description(fields):
    path = os.path.join(ARGS.work, 'fields-%d-seed%d.xml' % (fields, ARGS.seed))
    if not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(HERE, 'generate.py'), str(fields),
                        path + '.part', '--seed', str(ARGS.seed)], check=True)
        os.replace(path + '.part', path)
    return path


def same_file(a, b):
    with open(a, 'rb') as fa, open(b, 'rb') as fb:
        while True:
            x, y = fa.read(1 << 20), fb.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


def check_traces(source, pibgen):
    """pibgen echoes its two switches first; everything after must equal the peer's trace."""
    ours = subprocess.run([pibgen, '-S' + source, '-D' + os.path.join(ARGS.work, 't.bin')],
                          capture_output=True, check=True).stdout.split(b'\n', 2)[2]
    theirs = subprocess.run([sys.executable, os.path.join(HERE, 'peer.py'), source,
                             os.path.join(ARGS.work, 't2.bin')],
                            capture_output=True, check=True).stdout
    return ours == theirs


def main():
    global LAUNCH
    build = os.path.abspath(ARGS.build)
    pibgen = os.path.join(build, 'pibgen')
    floor = os.path.join(build, 'bench', 'pibgen_floor')
    os.makedirs(ARGS.work, exist_ok=True)
    LAUNCH = statistics.median(measure(['/bin/true'])[0] for _ in range(15))
    counts = [int(n) for n in ARGS.fields.split(',')]
    problems = []
    rows = []
    for fields in counts:
        source = description(fields)
        size_mb = os.path.getsize(source) / 1e6
        ours_image = os.path.join(ARGS.work, 'pibgen.bin')
        programs = [('pibgen', pibgen)]
        if ARGS.baseline:
            programs.append(('baseline', os.path.abspath(ARGS.baseline)))
        floor_runs, runs = [], {name: [] for name, _ in programs}
        for _ in range(ARGS.pairs):
            floor_runs.append(measure([floor, source]))
            for name, binary in programs:
                image = ours_image if name == 'pibgen' else ours_image + '.baseline'
                runs[name].append(measure([binary, '-S' + source, '-D' + image]))
        if not ARGS.no_peer:
            peer_image = os.path.join(ARGS.work, 'peer.bin')
            measure([sys.executable, os.path.join(HERE, 'peer.py'), source, peer_image])
            if not same_file(ours_image, peer_image):
                problems.append('%d fields: pibgen image differs from the peer image' % fields)
            if fields == counts[0] and not check_traces(source, pibgen):
                problems.append('%d fields: pibgen trace differs from the peer trace' % fields)
        for name, _ in programs:
            ratios = [o[0] / max(f[0], 0.005) for f, o in zip(floor_runs, runs[name])]
            rows.append((fields, name, size_mb, statistics.median(r[0] for r in floor_runs),
                         statistics.median(r[0] for r in runs[name]), statistics.median(ratios),
                         min(ratios), max(ratios), max(r[1] for r in floor_runs),
                         max(r[1] for r in runs[name])))

    print('%9s %-8s %8s %5s %8s %8s  %-18s %9s %9s' %
          ('fields', 'program', 'size MB', 'pairs', 'floor s', 'wall s', 'ratio median (range)',
           'floor MB', 'peak MB'))
    for fields, name, size, floor_wall, wall, median, low, high, floor_peak, peak in rows:
        print('%9d %-8s %8.1f %5d %8.3f %8.3f  %5.2fx (%.2f-%.2f) %9.1f %9.1f' %
              (fields, name, size, ARGS.pairs, floor_wall, wall, median, low, high, floor_peak,
               peak))
    print('(wall times less %.1f ms, the median cost of launching /bin/true; ratios are '
          'program/floor within each round)' % (LAUNCH * 1e3))

    print()
    failed = bool(problems)
    for fields, name, _, _, _, median, _, _, _, ours_peak in rows:
        if name != 'pibgen':
            continue
        for label, value, limit, unit in (
                ('%d fields: wall <= %.1fx floor' % (fields, RATIO_LIMIT), median, RATIO_LIMIT,
                 'x'),
                ('%d fields: peak <= %.0f MB' % (fields, PEAK_LIMIT_MB), ours_peak,
                 PEAK_LIMIT_MB, ' MB')):
            passed = value <= limit
            failed = failed or not passed
            print('%-34s %7.2f%s  %s' % (label, value, unit, 'pass' if passed else 'FAIL'))
    for problem in problems:
        print('MISMATCH: ' + problem)
    return 1 if failed else 0


if __name__ == '__main__':
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--build', default=os.path.join(HERE, '..', 'build'))
    parser.add_argument('--work', default='/tmp/pibgen-bench')
    parser.add_argument('--fields', default='50000,300000,1000000,2000000')
    parser.add_argument('--pairs', type=int, default=9)
    parser.add_argument('--pin', type=int, help='run every timed program on this core only')
    parser.add_argument('--no-peer', action='store_true', help='skip the image check')
    parser.add_argument('--baseline', help='another pibgen binary to run in each round')
    parser.add_argument('--seed', type=int, default=1)
    ARGS = parser.parse_args()
    sys.exit(main())
