"""Tests of scripts/publish-updates.py: the files an update server serves."""

import contextlib
import importlib.util
import io
import os
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "publish-updates.py")
_spec = importlib.util.spec_from_file_location("publish_updates", SCRIPT)
publish = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(publish)


class PublishTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.out = os.path.join(self.folder.name, "zshared")
        os.mkdir(self.out)

    def source(self, name, text):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as handle:
            handle.write(text.encode("latin-1"))
        return path

    def run_tool(self, ads, *extra, date="12/1/2026"):
        args = ["--out", self.out, "--list", self.source("ads.txt", ads), "--date", date,
                "--server", "https://updates.example.org"] + list(extra)
        err = io.StringIO()
        with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(err):
            code = publish.main(args)
        return code, err.getvalue()

    def served(self, name):
        path = os.path.join(self.out, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as handle:
            return handle.read().decode("latin-1")

    def stamps(self):
        return {n: os.stat(os.path.join(self.out, n)).st_mtime_ns for n in os.listdir(self.out)}

    def test_plain_and_hosts_lists_become_one_clean_list(self):
        code, err = self.run_tool(
            "# a block list\n"
            "Ads.Example\n"
            "0.0.0.0 tracker.example  pixel.example # two names\r\n"
            "127.0.0.1 ads.example\n"
            "::1 ip6-localhost ip6-loopback\n"
            "127.0.0.1 localhost\n"
            "\n"
            "   banner.example   \n")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.served("domains.txt"),
                         "ads.example\r\ntracker.example\r\npixel.example\r\nbanner.example\r\n[END]")
        self.assertEqual(self.served("removals.txt"), "[END]")
        self.assertEqual(self.served("spyware.txt"), "[END]")
        self.assertEqual(self.served("updatedate.txt"), "12/1/2026")
        self.assertIsNone(self.served("version.txt"))

    def test_refused_names(self):
        cases = [
            ("localhost", "local machine"),
            ("localhost.localdomain", "local machine"),
            ("printer.localhost", "local machine"),
            ("broadcasthost", "local machine"),
            ("10.0.0.1", "address"),
            ("1234", "address"),
            ("updates.example.org", "update server"),
            ("UPDATES.EXAMPLE.ORG", "update server"),
            ("bad..example", "not a host name"),
            (".lead.example", "not a host name"),
            ("trail.example.", "not a host name"),
            ("ads.example/path", "not a host name"),
            ("||ads.example^", "not a host name"),
            ("caf\xe9.example", "not a host name"),
            ("a" * 64 + ".example", "not a host name"),
            (".".join(["abcdefghi"] * 26), "not a host name"),  # 259 characters
        ]
        for name, reason in cases:
            with self.subTest(name=name):
                code, err = self.run_tool("keep.example\n" + name + "\n")
                self.assertEqual(code, 0, err)
                self.assertIn(reason, err)
                self.assertEqual(self.served("domains.txt"), "keep.example\r\n[END]")
        code, err = self.run_tool("under_score.example\n" + "a" * 63 + ".example\n")
        self.assertEqual(code, 0, err)
        self.assertIn("under_score.example\r\n", self.served("domains.txt"))

    def test_an_empty_list_is_refused_and_nothing_is_written(self):
        for text in ["", "# only a comment\n\n", "127.0.0.1 localhost\n0.0.0.0 0.0.0.0\n"]:
            with self.subTest(text=text):
                code, err = self.run_tool(text)
                self.assertEqual(code, 1)
                self.assertIn("no ad server names", err)
                self.assertEqual(os.listdir(self.out), [])
        self.run_tool("a.example\n")
        before = self.stamps()
        code, _ = self.run_tool("")
        self.assertEqual(code, 1)
        self.assertEqual(self.stamps(), before, "a refused run keeps the published files")

    def test_popups_are_marked_and_spyware_and_version_are_written(self):
        popups = self.source("popups.txt", "pop.example\nads.example\n")
        spyware = self.source("spy.txt", "# programs\nspy.exe : Spies on you\nSPY.EXE:again\n"
                                         "bad=name.exe:x\nother.exe:Other:extra\n")
        features = self.source("features.txt", "Faster lists\nFewer popups")
        code, err = self.run_tool("ads.example\nbanner.example\n", "--popups", popups,
                                  "--spyware", spyware, "--version", "4.2.9",
                                  "--features", features)
        self.assertEqual(code, 0, err)
        self.assertEqual(self.served("domains.txt"),
                         "*ads.example\r\nbanner.example\r\n*pop.example\r\n[END]")
        self.assertEqual(self.served("spyware.txt"),
                         "spy.exe:Spies on you\r\nother.exe:Other:extra\r\n[END]")
        self.assertEqual(self.served("version.txt"),
                         "Version:4.2.9 Faster lists\r\nFewer popups")
        self.assertEqual(self.served("version.txt")[8:13], "4.2.9")
        code, err = self.run_tool("ads.example\n", "--version", "4.2")
        self.assertEqual(code, 1)
        self.assertIn("three numbers", err)

    def test_names_dropped_since_the_last_run_become_removals(self):
        self.run_tool("a.example\nb.example\nc.example\n")
        self.run_tool("a.example\nc.example\nd.example\n", date="12/2/2026")
        self.assertEqual(self.served("removals.txt"), "b.example\r\n[END]")
        self.run_tool("a.example\nb.example\n", date="12/3/2026")
        # b is back: no longer a removal; c and d left.
        self.assertEqual(self.served("removals.txt"), "c.example\r\nd.example\r\n[END]")
        self.assertEqual(self.served("updatedate.txt"), "12/3/2026")

    def test_updatedate_is_written_last_and_only_when_something_changed(self):
        self.run_tool("a.example\n")
        before = self.stamps()
        code, _ = self.run_tool("a.example\n# the same list\nA.EXAMPLE\n", date="12/9/2026")
        self.assertEqual(code, 0)
        self.assertEqual(self.stamps(), before)
        self.assertEqual(self.served("updatedate.txt"), "12/1/2026")

        self.run_tool("a.example\nb.example\n", date="12/9/2026")
        after = self.stamps()
        self.assertEqual(self.served("updatedate.txt"), "12/9/2026")
        self.assertGreaterEqual(after["updatedate.txt"], after["domains.txt"])
        self.assertEqual(after["spyware.txt"], before["spyware.txt"], "unchanged files stay")
        self.assertFalse([n for n in os.listdir(self.out) if n.startswith(".")],
                         "no temporary file is left behind")

    def test_every_list_file_ends_with_end_and_crlf_lines(self):
        self.run_tool("a.example\nb.example\n")
        self.run_tool("a.example\n")
        for name in ("domains.txt", "removals.txt", "spyware.txt"):
            text = self.served(name)
            self.assertTrue(text.endswith("[END]"), name)
            self.assertNotIn("\n", text.replace("\r\n", ""), name)

    def test_a_bad_date_or_folder_writes_nothing(self):
        code, err = self.run_tool("a.example\n", date="2026-12-01")
        self.assertEqual(code, 1)
        self.assertEqual(os.listdir(self.out), [])
        err_out = io.StringIO()
        with contextlib.redirect_stderr(err_out):
            code = publish.main(["--out", os.path.join(self.out, "missing"),
                                 "--list", self.source("x.txt", "a.example\n")])
        self.assertEqual(code, 1)
        self.assertIn("no such folder", err_out.getvalue())


if __name__ == "__main__":
    unittest.main()
