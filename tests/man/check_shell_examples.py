#!/usr/bin/env python3
"""Runs the shell examples of the manual page and the README as written, in a scratch folder.

Usage: check_shell_examples.py PIBGEN SOURCE_DIR

Manual page: every .EX block. A transcript ("$ command" lines, each followed by its output)
is replayed and each output compared exactly. A script is run with sh; the description files
it names are the page's own example description. A script that guards the conversion with
"||" is run once more on a broken description and must then fail.
README: every command line of an indented or shell-fenced code block (a line whose first word
is a program: on PATH, pibgen, or under scripts/, bench/ or build/) must exit 0. The
console-fenced blocks are one transcript, replayed in order in one folder: each "$ command"
must exit 0 and print exactly the lines that follow it.
A command matching one of SKIPPED is not run; the reason is printed.
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

SKIPPED = [
    (r'libxml2-build', 'builds and installs libxml2 from a release source, which is not here'),
    (r'\bsudo\b|install-deps\.sh|\bcpack\b|cmake --install|dpkg -i',
     'needs root, installs or packages'),
    (r'scripts/test\.sh', 'runs the whole test suite'),
    (r'scripts/(fuzz|coverage)\.sh|measure-hostile|bench/compare\.py',
     'fuzzes, measures or benchmarks for minutes'),
    (r'^cmake\b', 'builds the project, which the suite has done'),
]
PLACEHOLDER = (r'<[^>\s]+>', 'a synopsis: <...> stands for a path')
BROKEN_DESCRIPTION = '<pib><field>\n'
# A cross-built program runs under the emulator CMake names in PIBGEN_EMULATOR (Wine for a
# Windows build); a native one runs as it is.
EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))


def skip_reason(command, placeholders=True):
    """Why command is not run, or None. A transcript's commands print real output, so <...> in
    one is literal text (placeholders=False), never a stand-in for a path."""
    for pattern, reason in SKIPPED + ([PLACEHOLDER] if placeholders else []):
        if re.search(pattern, command):
            return reason
    return None


def roff_text(line):
    return (line.replace('\\-', '-').replace('\\(aq', "'").replace('\\e', '\\')
            .replace('\\&', ''))


def man_blocks(path):
    blocks, block = [], None
    with open(path) as f:
        for line in f.read().splitlines():
            if line.startswith('.EX'):
                block = []
            elif line.startswith('.EE'):
                blocks.append(block)
                block = None
            elif block is not None:
                block.append(roff_text(line))
    return blocks


def readme_commands(path):
    """Lines of indented and shell-fenced code blocks, without their indentation, and the
    transcript of the console-fenced blocks: (command, expected output lines) in order."""
    commands, transcript, fence = [], [], None
    with open(path) as f:
        for line in f.read().splitlines():
            if line.startswith('```'):
                fence = line[3:].strip() if fence is None else None
            elif fence == 'console':
                if line.startswith('$ '):
                    transcript.append((line[2:], []))
                elif transcript:
                    transcript[-1][1].append(line)
                else:
                    raise SystemExit('README: a console block must begin with "$ ": %r' % line)
            elif fence in ('sh', 'shell', 'bash'):
                commands.append(line.strip())
            elif fence is None and line.startswith('    ') and line.strip():
                commands.append(line[4:])
    return commands, transcript


def is_command(line):
    word = line.split()[0] if line.split() else ''
    return (word in ('pibgen', 'cd') or word.startswith(('scripts/', 'bench/', 'build/', './'))
            or shutil.which(word, path=os.environ['PATH']) is not None)


def link_program(pibgen, path):
    """Makes path start pibgen: a link to it, or a script that runs it under the emulator."""
    if not EMULATOR:
        os.symlink(pibgen, path)
        return
    with open(path, 'w') as f:
        f.write('#!/bin/sh\nexec %s "$@"\n' % shlex.join(EMULATOR + [pibgen]))
    os.chmod(path, 0o755)


def run(command, work, env):
    return subprocess.run(['sh', '-c', command], cwd=work, env=env, capture_output=True,
                          timeout=60)


def main():
    pibgen, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    failures, ran = [], 0
    with tempfile.TemporaryDirectory(prefix='pibgen-examples-') as root:
        tools = os.path.join(root, 'bin')
        os.makedirs(tools)
        link_program(pibgen, os.path.join(tools, 'pibgen'))
        env = dict(os.environ, PATH=tools + os.pathsep + os.environ['PATH'])

        def fresh_folder(name):
            work = os.path.join(root, name)
            shutil.copytree(os.path.join(source, 'examples'), os.path.join(work, 'examples'))
            os.makedirs(os.path.join(work, 'build'))
            link_program(pibgen, os.path.join(work, 'build', 'pibgen'))
            return work

        blocks = man_blocks(os.path.join(source, 'man', 'pibgen.1'))
        description = next('\n'.join(b) + '\n' for b in blocks if b and b[0].startswith('<?xml'))
        for number, block in enumerate(blocks, 1):
            if not block or block[0].startswith('<') or not (
                    block[0].startswith('$ ') or is_command(block[0])):
                continue  # a description or a trace, not something to run
            work = fresh_folder('man-%d' % number)
            label = 'pibgen.1 example %d' % number
            if block[0].startswith('$ '):
                steps = []
                for line in block:
                    if line.startswith('$ '):
                        steps.append((line[2:], []))
                    else:
                        steps[-1][1].append(line)
                with open(os.path.join(work, 'fields.xml'), 'w') as f:
                    f.write(description)
                for command, expected in steps:
                    ran += 1
                    result = run(command, work, env)
                    got = result.stdout.decode(errors='replace').splitlines()
                    if result.returncode != 0 or got != expected:
                        failures.append('%s: %r gave status %d and %r, expected %r' % (
                            label, command, result.returncode, got, expected))
                continue
            script = '\n'.join(block) + '\n'
            reason = skip_reason(script)
            if reason:
                print('skipped %s (%s): %s' % (label, reason, script.strip()))
                continue
            inputs = sorted(set(re.findall(r'-S(\S+\.xml)', script)))
            for broken in (False, True) if '||' in script else (False,):
                for name in inputs:
                    with open(os.path.join(work, name), 'w') as f:
                        f.write(BROKEN_DESCRIPTION if broken else description)
                ran += 1
                result = run(script, work, env)
                if (result.returncode != 0) != broken:
                    failures.append('%s on a %s description: status %d\n%s' % (
                        label, 'broken' if broken else 'good', result.returncode, script))

        commands, transcript = readme_commands(os.path.join(source, 'README.md'))
        work = fresh_folder('readme-transcript')
        for command, expected in transcript:
            reason = skip_reason(command, placeholders=False)
            if reason:
                failures.append('README transcript: %r cannot be replayed (%s)' % (command, reason))
                continue
            ran += 1
            result = run(command, work, env)
            got = result.stdout.decode(errors='replace').splitlines()
            if result.returncode != 0 or got != expected:
                failures.append('README transcript: %r gave status %d and %r, expected %r' % (
                    command, result.returncode, got, expected))
        for number, command in enumerate(commands, 1):
            if not is_command(command):
                continue  # output shown in the README
            reason = skip_reason(command)
            if reason:
                print('skipped README (%s): %s' % (reason, command))
                continue
            ran += 1
            result = run(command, fresh_folder('readme-%d' % number), env)
            if result.returncode != 0:
                failures.append('README: %r gave status %d: %s' % (
                    command, result.returncode, result.stderr.decode(errors='replace')))
    for failure in failures:
        print('FAIL', failure)
    print('%d examples run, %d failed' % (ran, len(failures)))
    return 1 if failures or ran == 0 else 0


if __name__ == '__main__':
    sys.exit(main())
