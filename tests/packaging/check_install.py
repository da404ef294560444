#!/usr/bin/env python3
"""Installs a build into a fresh prefix and checks what lands there.

Usage: check_install.py BUILD_DIR SOURCE_DIR VERSION

`cmake --install BUILD_DIR --prefix P` must put exactly P/bin/pibgen,
P/share/man/man1/pibgen.1 (the page from the source tree) and the copyright file and
changelog in P/share/doc/pibgen there, and the library: <pibgen/pibgen.h>, its archives, its
CMake package and pibgen.pc. The installed program must answer --version and convert the
bundled example; examples/library, built out of tree against the prefix (with CMake's
find_package, and with pkg-config's flags), must print the worked example's checksum byte.
"""
import filecmp
import os
import subprocess
import sys
import tempfile

from program_answers import check_program


def check_library(cmake, source, prefix):
    """Builds examples/library against the installed library, both ways, and runs it."""
    problems = []
    example = os.path.join(source, 'examples', 'library')
    programs = []
    build = os.path.join(prefix, 'example-build')
    # Where the build found its dependencies (libxml2 in a prefix of its own, say).
    dependencies = [p for p in os.environ.get('PIBGEN_DEPENDENCY_PREFIXES', '').split(':') if p]
    compiler = os.environ.get('CXX', 'c++')
    configured = subprocess.run([cmake, '-S', example, '-B', build, '-DCMAKE_BUILD_TYPE=Release',
                                 '-DCMAKE_CXX_COMPILER=' + compiler,
                                 '-DCMAKE_PREFIX_PATH=' + ';'.join([prefix] + dependencies)],
                                capture_output=True, text=True)
    compiled = configured.returncode == 0 and subprocess.run(
        [cmake, '--build', build], capture_output=True, text=True)
    if compiled and compiled.returncode == 0:
        programs.append(('find_package', os.path.join(build, 'convert_in_memory')))
    else:
        said = configured if not compiled else compiled
        problems.append('examples/library does not build with find_package(pibgen): %s'
                        % (said.stdout + said.stderr)[-2000:])
    env = dict(os.environ, PKG_CONFIG_PATH=':'.join(
        os.path.join(p, 'lib', 'pkgconfig') for p in [prefix] + dependencies))
    flags = subprocess.run(['pkg-config', '--cflags', '--libs', 'pibgen'], env=env,
                           capture_output=True, text=True)
    program = os.path.join(prefix, 'convert_in_memory_pc')
    compiled = flags.returncode == 0 and subprocess.run(
        [compiler, '-std=c++20'] + os.environ.get('CXXFLAGS', '').split()
        + [os.path.join(example, 'convert_in_memory.cpp'), '-o', program]
        + flags.stdout.split() + os.environ.get('LDFLAGS', '').split(),
        capture_output=True, text=True)
    if compiled and compiled.returncode == 0:
        programs.append(('pkg-config', program))
    else:
        problems.append('examples/library does not build with pkg-config: %s %s'
                        % (flags.stderr, compiled.stderr if compiled else ''))
    for how, path in programs:
        ran = subprocess.run([path], capture_output=True, text=True)
        if ran.returncode != 0 or ran.stdout != '35\n':
            problems.append('the example built with %s printed %r (status %d), not 35'
                            % (how, ran.stdout, ran.returncode))
    return problems


def main():
    build, source, version = sys.argv[1:4]
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-install-') as prefix:
        cmake = os.environ.get('CMAKE', 'cmake')
        subprocess.run([cmake, '--install', build, '--prefix', prefix], check=True,
                       stdout=subprocess.DEVNULL)
        installed = sorted(os.path.relpath(os.path.join(folder, name), prefix)
                           for folder, _, names in os.walk(prefix) for name in names)
        # The targets of the build's own configuration: pibgenTargets-release.cmake, say.
        configuration = [name for name in installed
                         if name.startswith('lib/cmake/pibgen/pibgenTargets-')][:1]
        if not configuration:
            problems.append('no lib/cmake/pibgen/pibgenTargets-CONFIGURATION.cmake installed')
        library = ['include/pibgen/pibgen.h', 'lib/cmake/pibgen/pibgen-config-version.cmake',
                   'lib/cmake/pibgen/pibgen-config.cmake',
                   'lib/cmake/pibgen/pibgenTargets.cmake'] + configuration + [
                       'lib/libpibgen_%s.a' % layer for layer in ('engine', 'file', 'format', 'xml')
                   ] + ['lib/pkgconfig/pibgen.pc']
        wanted = sorted(['bin/pibgen', 'share/doc/pibgen/changelog', 'share/doc/pibgen/copyright',
                         'share/man/man1/pibgen.1'] + library)
        if installed != wanted:
            problems.append('installed %s, expected %s' % (installed, wanted))
        program = os.path.join(prefix, 'bin', 'pibgen')
        page = os.path.join(prefix, 'share', 'man', 'man1', 'pibgen.1')
        source_page = os.path.join(source, 'man', 'pibgen.1')
        if os.path.isfile(page) and not filecmp.cmp(page, source_page, shallow=False):
            problems.append('the installed manual page differs from man/pibgen.1')
        if os.path.isfile(program):
            if not os.access(program, os.X_OK):
                problems.append('bin/pibgen is not executable')
            problems += check_program(program, source, version, prefix, 'installed')
        problems += check_library(cmake, source, prefix)
    if problems:
        print('FAIL install\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok install: ' + ', '.join(installed))


if __name__ == '__main__':
    main()
