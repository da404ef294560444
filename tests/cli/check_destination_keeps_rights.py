#!/usr/bin/env python3
"""A converted destination keeps its owner, rights and attributes, or is written in place.

Usage: check_destination_keeps_rights.py PIBGEN

Each case prepares a destination as root, converts onto it as root or as the user nobody
(the test drops privileges itself), and checks what the destination then is: the new image
or, after a failure, the old bytes with the expected message; in every case the same owner,
group, permission bits and extended attributes (the ACL among them) as before, and nothing
left in its folder. Whether the file was replaced or written in place shows in its inode.
Needs root; the cases that mount (a full small disk, a file mounted over another) or set file
capabilities are skipped where that is not allowed.
"""
import os
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

FIELDS = 3000  # an image of three pages: more than a full small disk has left
NOBODY = 65534
OLD = b'the old image'


def expected_image():
    image = bytearray()
    for i in range(FIELDS):
        image += i.to_bytes(4, 'little')
    image[2] = zlib.crc32(bytes(image[3:])) >> 24
    return bytes(image)


def state(path):
    info = os.stat(path)
    attributes = {name: os.getxattr(path, name) for name in os.listxattr(path)}
    return (info.st_uid, info.st_gid, oct(info.st_mode & 0o7777), attributes)


def make(path, owner, mode, folder_mode=None):
    with open(path, 'wb') as f:
        f.write(OLD)
    os.chown(path, owner, owner)
    os.chmod(path, mode)


def mount(*arguments):
    return subprocess.run(['mount', *arguments], stderr=subprocess.DEVNULL).returncode == 0


# Each case: its name, who converts, and a setup(folder) that makes the destination and
# returns (path, what the run must end with: 'new' or a message, extra environment, limit of
# the file size, an undo function or None). None: the case cannot be set up here (mounting
# or file capabilities not allowed).
def setuid_of_user(folder):
    make(folder + '/image.bin', NOBODY, 0o4755)
    return folder + '/image.bin', 'new', {}, None, None


def setgid_of_group(folder):
    make(folder + '/image.bin', NOBODY, 0o2775)
    return folder + '/image.bin', 'new', {}, None, None


def own_setuid_file(folder):
    # Writing as the owner clears setuid: the complete image must get it back.
    os.chown(folder, NOBODY, NOBODY)
    return setuid_of_user(folder)


def file_capabilities(folder):
    # Writing clears file capabilities, even as root. The attribute holds the capability set's
    # version 2 form: CAP_NET_RAW permitted.
    make(folder + '/image.bin', NOBODY, 0o755)
    try:
        os.setxattr(folder + '/image.bin', 'security.capability',
                    struct.pack('<5I', 0x02000000, 1 << 13, 0, 0, 0))
    except OSError:
        return None
    return folder + '/image.bin', 'new', {}, None, None


def acl_and_attribute(folder):
    os.chown(folder, NOBODY, NOBODY)
    make(folder + '/image.bin', NOBODY, 0o600)
    subprocess.run(['setfacl', '-m', 'u:root:rw', folder + '/image.bin'], check=True)
    os.setxattr(folder + '/image.bin', 'user.note', b'kept')
    return folder + '/image.bin', 'new', {}, None, None


def sticky_folder_other_owner(folder):
    os.chmod(folder, 0o1777)
    make(folder + '/image.bin', 0, 0o666)
    return folder + '/image.bin', 'new', {}, None, None


def writable_file_other_owner(folder):
    os.chmod(folder, 0o777)
    make(folder + '/image.bin', 0, 0o666)
    return folder + '/image.bin', 'new', {}, None, None


def no_tmpdir_in_place(folder):
    path, want, _, _, _ = writable_file_other_owner(folder)
    return path, want, {'TMPDIR': '/nonexistent'}, None, None


def file_size_limit(folder):
    os.chown(folder, NOBODY, NOBODY)
    make(folder + '/image.bin', NOBODY, 0o644)
    return folder + '/image.bin', 'write pib file fail', {}, 4096, None


def full_disk_in_place(folder):
    # A folder nobody cannot add to: its own file there is written in place.
    if not mount('-t', 'tmpfs', '-o', 'size=64k,mode=755', 'tmpfs', folder):
        return None
    make(folder + '/image.bin', NOBODY, 0o644)
    try:
        with open(folder + '/filler', 'wb') as f:
            while True:
                f.write(b'\0' * 4096)
                f.flush()
    except OSError:
        pass
    return (folder + '/image.bin', 'write pib file fail', {}, None,
            lambda: subprocess.run(['umount', folder], check=True))


def mounted_over_another(folder):
    # The same file system: the rename over it is refused (EBUSY), not told by its device.
    make(folder + '/other.bin', NOBODY, 0o644)
    make(folder + '/image.bin', NOBODY, 0o644)
    if not mount('--bind', folder + '/other.bin', folder + '/image.bin'):
        return None
    return (folder + '/image.bin', 'new', {}, None,
            lambda: subprocess.run(['umount', folder + '/image.bin'], check=True))


CASES = [
    ('root onto a user\'s setuid 4755 file', 'root', setuid_of_user),
    ('root onto a 2775 file of a user\'s group', 'root', setgid_of_group),
    ('user onto its own setuid 4755 file', 'nobody', own_setuid_file),
    ('root onto a file with file capabilities', 'root', file_capabilities),
    ('user onto its own file with an ACL and user.*', 'nobody', acl_and_attribute),
    ('user onto another\'s 666 file, sticky folder', 'nobody', sticky_folder_other_owner),
    ('user onto another\'s writable file', 'nobody', writable_file_other_owner),
    ('TMPDIR missing, written in place', 'nobody', no_tmpdir_in_place),
    ('ulimit -f below the image', 'nobody', file_size_limit),
    ('full disk, written in place', 'nobody', full_disk_in_place),
    ('root onto a file mounted over another', 'root', mounted_over_another),
]


def run_as(user, limit):
    def prepare():
        if limit is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        if user == 'nobody':
            os.setgroups([])
            os.setgid(NOBODY)
            os.setuid(NOBODY)
    return prepare


def main():
    binary = os.path.abspath(sys.argv[1])
    if os.geteuid() != 0:
        print('skipped: needs root, to make the files of other users and to switch to nobody')
        sys.exit(77)
    problems = []
    table = []
    work = tempfile.mkdtemp(prefix='pibgen-rights-')
    try:
        os.chmod(work, 0o755)
        description = os.path.join(work, 'fields.xml')
        with open(description, 'w') as f:
            f.write('<pib>' + ''.join('<f><type>System.UInt32</type><value>%d</value></f>' % i
                                      for i in range(FIELDS)) + '</pib>')
        os.chmod(description, 0o644)
        for number, (name, user, setup) in enumerate(CASES):
            folder = os.path.join(work, 'case%d' % number)
            held = os.path.join(work, 'held%d' % number)
            os.mkdir(folder, 0o755)
            os.mkdir(held, 0o700)
            os.chown(held, NOBODY if user == 'nobody' else 0, NOBODY)
            prepared = setup(folder)
            if prepared is None:
                table.append('%-50s skipped: not allowed here' % name)
                continue
            path, want, environment, limit, undo = prepared
            try:
                before = state(path)
                inode = os.stat(path).st_ino
                names = sorted(os.listdir(folder))
                env = dict(os.environ, TMPDIR=held)
                env.update(environment)
                result = subprocess.run([binary, '-S' + description, '-D' + path],
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        env=env, preexec_fn=run_as(user, limit))
                output = result.stdout.decode(errors='replace')
                with open(path, 'rb') as f:
                    content = f.read()
                found = []
                if want == 'new':
                    if result.returncode != 0 or content != expected_image():
                        last = output.strip().splitlines()[-1:] or ['']
                        found.append('exit %d (%s), the new image expected' %
                                     (result.returncode, last[0]))
                elif result.returncode != 1 or want not in output or content != OLD:
                    found.append('exit %d, %d bytes; expected exit 1, "%s", the old bytes' %
                                 (result.returncode, len(content), want))
                after = state(path)
                if after != before:
                    found.append('owner, group, mode, attributes %s, were %s' % (after, before))
                left = sorted(set(os.listdir(folder)) - set(names))
                if left:
                    found.append('left beside it: %s' % ' '.join(left))
                how = 'same file' if os.stat(path).st_ino == inode else 'new file'
                table.append('%-50s %-8s exit %d  %s' % (
                    name, how, result.returncode, 'ok' if not found else '; '.join(found)))
                problems += ['%s: %s' % (name, p) for p in found]
            finally:
                if undo:
                    undo()
    finally:
        shutil.rmtree(work)
    print('\n'.join(table))
    if problems:
        print('FAIL a destination changed hands or rights, or was refused\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok: every destination kept its owner, rights and attributes')


if __name__ == '__main__':
    main()
