"""What every packaging check asks of the program it installed or packed."""
import os
import subprocess

WORKED_IMAGE = bytes.fromhex('01 00 35 61 62 63')


def check_program(program, source, version, work, what, emulator=(), timeout=15):
    """Runs program (under emulator, if any): it must answer --version with version alone and
    convert examples/worked.xml into work/worked.bin. Returns the problems, worded for `what`
    program ("installed", "packed")."""
    problems = []
    run = subprocess.run(list(emulator) + [program, '--version'], capture_output=True,
                         timeout=timeout)
    answer = (0, b'pibgen %s\n' % version.encode(), b'')
    if (run.returncode, run.stdout, run.stderr) != answer:
        problems.append('--version gave %r' % ((run.returncode, run.stdout, run.stderr),))
    image = os.path.join(work, 'worked.bin')
    run = subprocess.run(list(emulator) + [program, '-S' + os.path.join(source, 'examples',
                                                                          'worked.xml'),
                                           '-D' + image], capture_output=True, timeout=timeout)
    if run.returncode != 0 or not os.path.isfile(image):
        problems.append('the %s program did not convert: %r' % (what, run.stdout))
    else:
        with open(image, 'rb') as f:
            if f.read() != WORKED_IMAGE:
                problems.append('the %s program wrote a wrong image' % what)
    return problems
