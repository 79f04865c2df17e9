"""Tests of the package's removal script (packaging/debian/prerm): what it leaves in /etc/hosts.

Each case runs the real script in private mount and process namespaces, with a temporary folder
over /etc and an empty /run, so neither the machine's hosts file nor its helper is touched."""

import os
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PRERM = os.path.abspath(os.path.join(HERE, "..", "..", "packaging", "debian", "prerm"))

OWN = b"127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost\n\n# mine\n10.0.0.5 nas.example\n"
OWN_LINES = b"127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost\n# mine\n10.0.0.5 nas.example\n"
BLOCK = b"127.0.0.1 ads.example\n127.0.0.1 tracker.example\n"


def run_prerm(etc_files, action="remove", hosts_mode=0o644):
    """Runs prerm with the files {name: bytes} as /etc; returns the files afterwards, whether
    /etc/hosts is still the same inode, and its mode."""
    with tempfile.TemporaryDirectory() as etc:
        for name, data in etc_files.items():
            with open(os.path.join(etc, name), "wb") as handle:
                handle.write(data)
            os.chmod(os.path.join(etc, name), hosts_mode if name == "hosts" else 0o644)
        before = os.stat(os.path.join(etc, "hosts")).st_ino if "hosts" in etc_files else None
        inner = ('mount --make-rprivate / && mount --bind "$1" /etc && '
                 'mount -t tmpfs run /run && exec sh "$0" "$2"')
        result = subprocess.run(["unshare", "--mount", "--pid", "--fork", "--mount-proc", "sh",
                                 "-c", inner, PRERM, etc, action], capture_output=True,
                                text=True, timeout=60)
        if result.returncode != 0:
            raise AssertionError(f"prerm {action} failed: {result.stdout}{result.stderr}")
        after = {}
        for name in os.listdir(etc):
            with open(os.path.join(etc, name), "rb") as handle:
                after[name] = handle.read()
        hosts = os.stat(os.path.join(etc, "hosts"))
        return after, hosts.st_ino == before, hosts.st_mode & 0o7777


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("unshare"),
                     "needs root for private namespaces")
class RemovalHostsTest(unittest.TestCase):
    def test_the_block_list_goes_and_the_users_file_stays(self):
        # (case, /etc/hosts before, /etc/hosts after); the backup is OWN throughout.
        cases = [
            ("only the block list was added: the backup comes back byte for byte",
             BLOCK + OWN_LINES, OWN),
            ("a line the user added while it ran is kept, the block list goes",
             BLOCK + OWN_LINES + b"10.9.9.9 new.example\n",
             OWN_LINES + b"10.9.9.9 new.example\n"),
            ("a user's line the backup does not have, though it looks like a block line, "
             "goes with the block list: only lines the backup has are the user's",
             BLOCK + OWN_LINES + b"127.0.0.1 ads.example\n", OWN),
        ]
        for case, hosts, expected in cases:
            with self.subTest(case=case):
                after, _, _ = run_prerm({"hosts": hosts, "hostszvb": OWN})
                self.assertEqual(after["hosts"], expected)
                self.assertEqual(after["hostszvb"], OWN, "the backup is kept until the purge")

    def test_the_users_own_block_lines_stay(self):
        own = OWN + b"127.0.0.1 blocked-by-me.example\n"
        after, _, _ = run_prerm({"hosts": BLOCK + own, "hostszvb": own})
        self.assertEqual(after["hosts"], own)

    def test_windows_line_endings(self):
        own = OWN.replace(b"\n", b"\r\n")
        hosts = (BLOCK + OWN_LINES).replace(b"\n", b"\r\n")
        after, _, _ = run_prerm({"hosts": hosts, "hostszvb": own})
        self.assertEqual(after["hosts"], own)

    def test_nothing_to_take_out_leaves_the_file_alone(self):
        cases = [
            ("no backup: nothing says which lines are the user's", {"hosts": BLOCK + OWN}),
            ("the user's file is already back", {"hosts": OWN, "hostszvb": OWN}),
            ("an edit after Zorvik's exit, no block line left",
             {"hosts": OWN_LINES + b"10.1.1.1 x.example\n", "hostszvb": OWN}),
        ]
        for case, files in cases:
            with self.subTest(case=case):
                after, same, _ = run_prerm(files)
                self.assertEqual(after["hosts"], files["hosts"])
                self.assertTrue(same, "the hosts file was rewritten")

    def test_an_upgrade_leaves_the_block_list(self):
        after, same, _ = run_prerm({"hosts": BLOCK + OWN_LINES, "hostszvb": OWN}, action="upgrade")
        self.assertEqual(after["hosts"], BLOCK + OWN_LINES)
        self.assertTrue(same)

    def test_the_hosts_file_keeps_its_mode(self):
        _, _, mode = run_prerm({"hosts": BLOCK + OWN_LINES, "hostszvb": OWN}, hosts_mode=0o640)
        self.assertEqual(mode, 0o640)

if __name__ == "__main__":
    unittest.main()
