#!/usr/bin/env python3
"""Runs pibgen, the libxml2 parse floor and the Python peer side by side and prints a table.

For each field count it generates a description (once, cached in the work folder), then runs
the three programs in turn, several rounds, and reports the median wall, user and system
time, the peak resident memory, the throughput over the description's size, and the ratios
pibgen/floor and peer/pibgen. pibgen's image must equal the peer's byte for byte, and on the
smallest file the traces must match too. Standard output of the timed runs goes to
/dev/null. Ends by judging pibgen against its targets on the largest file.

    bench/compare.py [--build build] [--work /tmp/pibgen-bench] [--fields 10000,100000,1000000]
                     [--runs 5] [--peer-runs 3]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


LAUNCH = 0.0  # wall time of starting a program that does nothing, taken off every run


def measure(command):
    """Runs command; returns (wall s, user s, system s, peak resident KiB).

    /usr/bin/time reports the peak: a child forked straight from Python would count the
    interpreter's own pages, which it holds until exec, as its peak. The wall time is taken
    here, less the cost of starting a program at all (LAUNCH).
    """
    report = os.path.join(ARGS.work, 'time.txt')
    begin = time.perf_counter()
    status = subprocess.run(['/usr/bin/time', '-f', '%U %S %M', '-o', report] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    wall = time.perf_counter() - begin
    if status != 0:
        sys.exit('failed (status %d): %s' % (status, ' '.join(command)))
    with open(report) as f:
        user, system, peak = f.read().split()[-3:]
    return max(wall - LAUNCH, 0.0), float(user), float(system), int(peak)


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
    results = {}
    problems = []
    for fields in counts:
        source = description(fields)
        size_mb = os.path.getsize(source) / 1e6
        ours_image = os.path.join(ARGS.work, 'pibgen.bin')
        peer_image = os.path.join(ARGS.work, 'peer.bin')
        programs = {
            'floor': [floor, source],
            'pibgen': [pibgen, '-S' + source, '-D' + ours_image],
            'peer': [sys.executable, os.path.join(HERE, 'peer.py'), source, peer_image],
        }
        samples = {name: [] for name in programs}
        for round_index in range(max(ARGS.runs, ARGS.peer_runs)):
            for name, command in programs.items():
                wanted = ARGS.peer_runs if name == 'peer' else ARGS.runs
                if round_index < wanted:
                    samples[name].append(measure(command))
        if not same_file(ours_image, peer_image):
            problems.append('%d fields: pibgen image differs from the peer image' % fields)
        if fields == counts[0] and not check_traces(source, pibgen):
            problems.append('%d fields: pibgen trace differs from the peer trace' % fields)
        for name, runs in samples.items():
            results[(fields, name)] = {
                'size': size_mb,
                'wall': statistics.median(r[0] for r in runs),
                'user': statistics.median(r[1] for r in runs),
                'sys': statistics.median(r[2] for r in runs),
                'peak': max(r[3] for r in runs) / 1024,
                'runs': len(runs),
            }

    print('%9s %-7s %8s %5s %8s %8s %8s %9s %8s  %s' %
          ('fields', 'program', 'size MB', 'runs', 'wall s', 'user s', 'sys s', 'peak MB',
           'MB/s', 'ratio'))
    for fields in counts:
        floor_wall = results[(fields, 'floor')]['wall']
        ours_wall = results[(fields, 'pibgen')]['wall']
        for name in ('floor', 'pibgen', 'peer'):
            r = results[(fields, name)]
            ratio = ''
            if name == 'pibgen':
                ratio = 'pibgen/floor %.2fx' % (r['wall'] / max(floor_wall, 0.005))
            elif name == 'peer':
                ratio = 'peer/pibgen %.1fx' % (r['wall'] / max(ours_wall, 0.005))
            print('%9d %-7s %8.1f %5d %8.3f %8.2f %8.2f %9.1f %8.1f  %s' %
                  (fields, name, r['size'], r['runs'], r['wall'], r['user'], r['sys'],
                   r['peak'], r['size'] / max(r['wall'], 0.005), ratio))

    print('(wall times less %.1f ms, the median cost of launching /bin/true)' % (LAUNCH * 1e3))
    largest = counts[-1]
    ours = results[(largest, 'pibgen')]
    verdicts = [
        ('wall <= 2.0x floor', ours['wall'] / max(results[(largest, 'floor')]['wall'], 0.005),
         2.0, 'x'),
        ('peak <= 2x description', ours['peak'] / ours['size'], 2.0, 'x'),
        ('peer/pibgen >= 30x', results[(largest, 'peer')]['wall'] / max(ours['wall'], 0.005),
         30.0, 'x'),
    ]
    if len(counts) > 1:
        previous = counts[-2]
        scale = largest / previous
        verdicts.append(('t(%d)/t(%d) <= %.0fx' % (largest, previous, 1.1 * scale),
                         ours['wall'] / max(results[(previous, 'pibgen')]['wall'], 0.005),
                         1.1 * scale, 'x'))
    print()
    for label, value, limit, unit in verdicts:
        passed = value >= limit if label.startswith('peer') else value <= limit
        print('%-34s %7.2f%s  %s' % (label, value, unit, 'pass' if passed else 'FAIL'))
    for problem in problems:
        print('MISMATCH: ' + problem)
    return 1 if problems else 0


if __name__ == '__main__':
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--build', default=os.path.join(HERE, '..', 'build'))
    parser.add_argument('--work', default='/tmp/pibgen-bench')
    parser.add_argument('--fields', default='10000,100000,1000000')
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--peer-runs', type=int, default=3)
    parser.add_argument('--seed', type=int, default=1)
    ARGS = parser.parse_args()
    sys.exit(main())
