"""Tests of scripts/run.sh: its syntax, and which way it starts Zorvik (its --dry-run path, which
builds nothing and changes nothing)."""

import os
import pwd
import shutil
import subprocess
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
SCRIPT = os.path.join(ROOT, "scripts", "run.sh")


def a_user():
    """A user other than root that exists on every Debian system."""
    return pwd.getpwnam("nobody").pw_name


def dry_run(env, systemd=False):
    """Output of run.sh --dry-run with env, in a mount namespace whose /run is empty, or holds
    /run/systemd/system (a machine where systemd runs) when systemd is set."""
    inner = "mount --make-rprivate / && mount -t tmpfs run /run && "
    if systemd:
        inner += "mkdir -p /run/systemd/system && "
    inner += 'exec bash "$0" --dry-run'
    base = {k: v for k, v in os.environ.items() if k in ("PATH", "LANG")}
    result = subprocess.run(["unshare", "--mount", "--fork", "sh", "-c", inner, SCRIPT],
                            env={**base, **env}, capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise AssertionError(f"run.sh --dry-run failed ({result.returncode}):\n"
                             f"{result.stdout}{result.stderr}")
    return result.stdout


def last_command(output):
    lines = [l for l in output.splitlines() if l.startswith("run.sh: would run:")]
    return lines[-1] if lines else ""


class SyntaxTest(unittest.TestCase):
    def test_parses(self):
        subprocess.run(["bash", "-n", SCRIPT], check=True)

    def test_refuses_an_unknown_argument(self):
        result = subprocess.run(["bash", SCRIPT, "--install"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn("Usage:", result.stderr)


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("unshare"),
                     "needs root for a private /run")
class DryRunTest(unittest.TestCase):
    def test_plain_root_runs_zorvik_as_root_and_says_so(self):
        for env in ({"DISPLAY": ":9"}, {"DISPLAY": ":9", "SUDO_USER": "root"}):
            with self.subTest(env=env):
                out = dry_run(env)
                self.assertIn("Zorvik runs as root", out)
                self.assertEqual(last_command(out), "run.sh: would run: build/app/zorvik")
                # The helper is built with the rest, but neither started nor installed.
                self.assertNotIn("starting", out)
                self.assertNotIn("units", out)
                self.assertNotIn("groupadd", out)
                self.assertNotIn("usermod", out)

    def test_sudo_user_gets_the_group_and_runs_zorvik_with_it(self):
        user = a_user()
        out = dry_run({"DISPLAY": ":9", "SUDO_USER": user, "XAUTHORITY": "/tmp/xauth-test"})
        self.assertIn(f"usermod --append --groups zorvik {user}", out)
        command = last_command(out)
        # The group is in the process from the user database at once, without a new login.
        self.assertIn(f"setpriv --reuid={pwd.getpwnam(user).pw_uid}", command)
        self.assertIn("--init-groups", command)
        for kept in ("DISPLAY=:9", "XAUTHORITY=/tmp/xauth-test", f"USER={user}",
                     "ZORVIK_HELPER_SOCKET=/run/zorvik-helper.sock"):
            self.assertIn(kept, command)
        self.assertTrue(command.endswith(" build/app/zorvik"), command)

    def test_helper_runs_from_units_where_systemd_runs_else_directly(self):
        user = a_user()
        cases = [(True, "installing the helper's units in /run/systemd/system"),
                 (False, "build/app/zorvik-helper (no systemd here); it stops when Zorvik exits")]
        for systemd, expected in cases:
            with self.subTest(systemd=systemd):
                out = dry_run({"DISPLAY": ":9", "SUDO_USER": user}, systemd=systemd)
                self.assertIn(expected, out)

    def test_without_a_display_starts_a_virtual_one_for_the_user(self):
        out = dry_run({"SUDO_USER": a_user()})
        self.assertIn("no DISPLAY; starting Zorvik on a virtual display", out)
        self.assertIn("setpriv", last_command(out))


if __name__ == "__main__":
    unittest.main()
